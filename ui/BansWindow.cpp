#include "ui/BansWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "platform/MessageBox.h"
#include "platform/WholeFile.h"
#include "res/Strings.h"

namespace {

enum Column { ADDRESS, NAME, REASON, BANNED_AT, BY, EXPIRES, COLUMNS };
constexpr int ROW_ROLE = Qt::UserRole; // the row's index in `rows`

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

CBansWindow::CBansWindow(QWidget* owner)
    : QDialog(owner, Qt::Tool), m_filter(new QLineEdit(this)), m_table(new QTreeWidget(this)),
      m_status(new QLabel(this)), m_lift(new QPushButton(Text(strings::BANS_LIFT), this)) {
    setWindowTitle(Text(strings::BANS_CAPTION));
    m_filter->setPlaceholderText(Text(strings::BANS_FILTER));
    m_filter->setClearButtonEnabled(true);
    auto* refresh = new QPushButton(Text(strings::BANS_REFRESH), this);
    auto* exportButton = new QPushButton(Text(strings::BANS_EXPORT), this);
    for (QPushButton* button : {refresh, m_lift, exportButton}) {
        button->setAutoDefault(false);
    }
    auto* top = new QHBoxLayout;
    top->addWidget(m_filter, 1);
    top->addWidget(refresh);
    top->addWidget(m_lift);
    top->addWidget(exportButton);

    m_table->setColumnCount(COLUMNS);
    m_table->setHeaderLabels({Text(strings::BANS_COLUMN_ADDRESS), Text(strings::BANS_COLUMN_NAME),
                              Text(strings::BANS_COLUMN_REASON),
                              Text(strings::BANS_COLUMN_BANNED_AT), Text(strings::BANS_COLUMN_BY),
                              Text(strings::BANS_COLUMN_EXPIRES)});
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->header()->setStretchLastSection(true);
    m_table->installEventFilter(this); // Ctrl+C copies the selected addresses
    m_status->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table);
    layout->addWidget(m_status);
    resize(780, 340);

    connect(m_filter, &QLineEdit::textChanged, this, &CBansWindow::ApplyFilter);
    connect(refresh, &QPushButton::clicked, this, &CBansWindow::refreshRequested);
    connect(m_lift, &QPushButton::clicked, this, &CBansWindow::LiftSelected);
    connect(exportButton, &QPushButton::clicked, this, &CBansWindow::ChooseExportFile);
    connect(m_table, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_lift->setEnabled(!SelectedEntries().empty()); });
    m_lift->setEnabled(false);
    m_status->setText(Text(strings::BANS_NO_LIST));
}

void CBansWindow::Open() {
    if (!isVisible()) {
        // Beside the window when the screen has room there, else as far right as it has.
        QPoint at = parentWidget()->frameGeometry().topRight() + QPoint(8, 0);
        if (const QScreen* screen = parentWidget()->screen()) {
            const QRect room = screen->availableGeometry();
            at.setX(
                std::max(room.left(), std::min(at.x(), room.right() - frameGeometry().width())));
            at.setY(
                std::max(room.top(), std::min(at.y(), room.bottom() - frameGeometry().height())));
        }
        move(at);
    }
    show();
    raise();
}

void CBansWindow::ShowRows(const std::vector<BanRow>& newRows, bool listCame,
                           const QString& problem) {
    const std::vector<std::string> selected = SelectedEntries();
    const std::set<std::string> reselect(selected.begin(), selected.end());
    rows = newRows;
    m_table->clear();
    int listed = 0;
    int recorded = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const BanRowText text = DescribeBanRow(rows[i]);
        auto* item =
            new QTreeWidgetItem(m_table, {Utf8(text.address), Utf8(text.name), Utf8(text.reason),
                                          Utf8(text.bannedAt), Utf8(text.by), Utf8(text.expires)});
        item->setData(ADDRESS, ROW_ROLE, static_cast<int>(i));
        listed += rows[i].listed;
        recorded += rows[i].record.has_value();
        if (!rows[i].listed) {
            item->setFlags(item->flags() & ~Qt::ItemIsSelectable); // nothing to lift by
        }
        item->setSelected(rows[i].listed && reselect.count(rows[i].entry) > 0);
    }
    // Each column as wide as its text, up to a limit: a long escaped entry or reason must not
    // push the others out of sight.
    const int widest = fontMetrics().averageCharWidth() * 32;
    for (int column = 0; column < COLUMNS - 1; ++column) {
        m_table->resizeColumnToContents(column);
        m_table->setColumnWidth(column, std::min(m_table->columnWidth(column), widest));
    }
    ApplyFilter();
    QString status = listCame ? Text(strings::BANS_COUNT).arg(listed).arg(recorded)
                              : Text(strings::BANS_NO_LIST);
    if (!problem.isEmpty()) {
        status += ' ' + Text(strings::BANS_NOT_READ).arg(problem);
    }
    m_status->setText(status);
}

void CBansWindow::ApplyFilter() {
    const QString filter = m_filter->text().trimmed();
    for (int i = 0; i < m_table->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_table->topLevelItem(i);
        bool shown = filter.isEmpty();
        for (int column = 0; column < COLUMNS && !shown; ++column) {
            shown = item->text(column).contains(filter, Qt::CaseInsensitive);
        }
        item->setHidden(!shown);
        if (!shown) {
            item->setSelected(false);
        }
    }
}

std::vector<std::string> CBansWindow::SelectedEntries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < m_table->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_table->topLevelItem(i);
        const auto index = static_cast<std::size_t>(item->data(ADDRESS, ROW_ROLE).toInt());
        if (item->isSelected() && !item->isHidden() && index < rows.size() && rows[index].listed) {
            entries.push_back(rows[index].entry);
        }
    }
    return entries;
}

void CBansWindow::LiftSelected() {
    QStringList named;
    for (int i = 0; i < m_table->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_table->topLevelItem(i);
        if (item->isSelected() && !item->isHidden()) {
            named << (item->text(NAME).isEmpty()
                          ? item->text(ADDRESS)
                          : item->text(ADDRESS) + " (" + item->text(NAME) + ')');
        }
    }
    const std::vector<std::string> entries = SelectedEntries();
    if (entries.empty() ||
        !AfxQuestionBox(Text(strings::BANS_LIFT_QUESTION).arg(named.join(", ")).toStdString())) {
        return;
    }
    emit liftRequested(entries);
}

QString CBansWindow::ExportTo(const QString& path) const {
    if (!ReplaceWholeFile(path.toStdString(), BanRowsCsv(rows))) {
        return Text(strings::BANS_EXPORT_FAILED).arg(path, QString::fromLocal8Bit(strerror(errno)));
    }
    return {};
}

void CBansWindow::ChooseExportFile() {
    const QString path =
        QFileDialog::getSaveFileName(this, Text(strings::BANS_EXPORT), QStringLiteral("bans.csv"),
                                     Text(strings::BANS_EXPORT_FILTER));
    if (path.isEmpty()) {
        return;
    }
    const QString problem = ExportTo(path);
    m_status->setText(problem.isEmpty() ? Text(strings::BANS_EXPORTED).arg(rows.size()).arg(path)
                                        : problem);
    if (!problem.isEmpty()) {
        AfxMessageBox(problem.toStdString());
    }
}

bool CBansWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        QStringList lines;
        for (const QTreeWidgetItem* item : m_table->selectedItems()) {
            lines << item->text(ADDRESS);
        }
        QApplication::clipboard()->setText(lines.join('\n'));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
