#include "ui/ServerListWindow.h"

#include <QListWidget>
#include <QVBoxLayout>

#include "res/Strings.h"
#include "ui/DialogUnits.h"
#include "ui/WireText.h"

CServerListWindow::CServerListWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool), list(new QListWidget(this)) {
    setWindowTitle(QString::fromLatin1(strings::SERVER_LIST_CAPTION));
    // A list arriving must not take the keyboard away from the command line.
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list);
    resize(DialogUnitsToPixels(fontMetrics(), 120, 160));
}

void CServerListWindow::ShowEntries(const std::vector<std::string>& entries) {
    list->clear();
    for (const std::string& entry : entries) {
        list->addItem(FromWire(entry));
    }
    if (!isVisible()) {
        move(parentWidget()->frameGeometry().topRight() + QPoint(8, 0));
        show();
    }
}
