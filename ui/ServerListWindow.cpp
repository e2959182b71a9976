#include "ui/ServerListWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "engine/PrintableText.h"
#include "res/Strings.h"
#include "ui/DialogUnits.h"
#include "ui/WireText.h"

CServerListWindow::CServerListWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool), heading(new QLabel(this)), list(new QListWidget(this)) {
    setWindowTitle(QString::fromLatin1(strings::SERVER_LIST_CAPTION));
    // A list arriving must not take the keyboard away from the command line.
    setAttribute(Qt::WA_ShowWithoutActivating);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
    list->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QString::fromLatin1(strings::MENU_COPY), list);
    connect(copy, &QAction::triggered, this, &CServerListWindow::CopySelected);
    list->addAction(copy);
    // Ctrl+C copies every selected entry; the view alone would copy only the current one.
    list->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(heading);
    layout->addWidget(list);
    resize(DialogUnitsToPixels(fontMetrics(), 120, 160));
}

void CServerListWindow::ShowEntries(const std::vector<std::string>& entries) {
    list->clear();
    for (const std::string& entry : entries) {
        // Escaped, so a line break in an entry cannot split it into two.
        list->addItem(FromWire(Printable(entry)));
    }
    heading->setText(entries.empty() ? QString::fromLatin1(strings::SERVER_LIST_EMPTY)
                     : entries.size() == 1
                         ? QString::fromLatin1(strings::SERVER_LIST_ONE)
                         : QString::fromLatin1(strings::SERVER_LIST_COUNT).arg(entries.size()));
    if (!isVisible()) {
        move(parentWidget()->frameGeometry().topRight() + QPoint(8, 0));
        show();
    }
}

void CServerListWindow::CopySelected() const {
    QStringList lines;
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->isSelected()) {
            lines << list->item(row)->text();
        }
    }
    if (!lines.isEmpty()) {
        QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
    }
}

bool CServerListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        CopySelected();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
