#include "ui/PlayersWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/players/PlayerStore.h"
#include "core/players/PlayerTexts.h"
#include "engine/PrintableText.h"
#include "ui/PlayerMemoryTexts.h"
#include "ui/PlayerPageView.h"
#include "ui/WireText.h"

namespace {

enum Column { NAME, LAST_SEEN, SESSIONS, PLAY_TIME, KICKS_BANS, LINES, NOTE, COLUMNS };

constexpr int NAME_ROLE = Qt::UserRole;     // the raw name, as bytes
constexpr int SORT_ROLE = Qt::UserRole + 1; // a number to sort by, where text would not do
// What one search lists at most: the most recently seen first.
constexpr int MOST_LISTED = 500;

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Sorts by the number a cell carries, else by its text.
class ResultRow : public QTreeWidgetItem {
  public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        const QVariant mine = data(column, SORT_ROLE);
        const QVariant theirs = other.data(column, SORT_ROLE);
        if (mine.isValid() && theirs.isValid()) {
            return mine.toLongLong() < theirs.toLongLong();
        }
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

CPlayersWindow::CPlayersWindow(CPlayerStore& store, QWidget* owner)
    : QDialog(owner, Qt::Window), m_search(new QLineEdit(this)),
      m_byName(new QRadioButton(Text(playertexts::SEARCH_NAMES), this)),
      m_byChat(new QRadioButton(Text(playertexts::SEARCH_CHAT), this)), m_status(new QLabel(this)),
      m_results(new QTreeWidget(this)), m_page(new CPlayerPageView(store, this)), store(store) {
    setWindowTitle(Text(playertexts::PLAYERS_CAPTION_NO_SERVER));
    m_search->setPlaceholderText(Text(playertexts::SEARCH_PLACEHOLDER));
    m_search->setClearButtonEnabled(true);
    m_byName->setChecked(true);
    auto* searchButton = new QPushButton(Text(playertexts::SEARCH_BUTTON), this);
    // Enter belongs to the search box and the chat filter: no button of the window is pressed
    // by it (least of all "Forget player").
    searchButton->setAutoDefault(false);
    m_status->setTextFormat(Qt::PlainText);
    m_results->setHeaderLabels(
        {Text(playertexts::COLUMN_PLAYER), Text(playertexts::COLUMN_LAST_SEEN),
         Text(playertexts::COLUMN_SESSIONS), Text(playertexts::COLUMN_PLAY_TIME),
         Text(playertexts::COLUMN_KICKS_BANS), Text(playertexts::COLUMN_LINES),
         Text(playertexts::COLUMN_NOTE)});
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setAllColumnsShowFocus(true);
    m_results->setSortingEnabled(true);
    m_results->sortByColumn(LAST_SEEN, Qt::DescendingOrder);
    m_results->header()->setStretchLastSection(true);
    const QFontMetrics metrics = fontMetrics();
    m_results->header()->resizeSection(NAME, metrics.horizontalAdvance(QStringLiteral("M")) * 12);
    m_results->header()->resizeSection(
        LAST_SEEN, metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00  ")));
    for (const int column : {SESSIONS, KICKS_BANS, LINES}) {
        m_results->header()->resizeSection(
            column, metrics.horizontalAdvance(m_results->headerItem()->text(column)) + 24);
    }
    m_results->header()->resizeSection(
        PLAY_TIME, metrics.horizontalAdvance(QString::fromStdString(PlayTimeText(0)) + "    "));

    auto* top = new QHBoxLayout;
    top->addWidget(m_search, 1);
    top->addWidget(m_byName);
    top->addWidget(m_byChat);
    top->addWidget(searchButton);
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addLayout(top);
    leftLayout->addWidget(m_status);
    leftLayout->addWidget(m_results, 1);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(m_page);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter);
    resize(1100, 600);

    connect(m_search, &QLineEdit::returnPressed, this, &CPlayersWindow::Search);
    connect(searchButton, &QPushButton::clicked, this, &CPlayersWindow::Search);
    connect(m_byChat, &QRadioButton::toggled, this, &CPlayersWindow::Search);
    connect(m_results, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { OnChosen(item); });
    connect(m_page, &CPlayerPageView::readDone, this, &CPlayersWindow::readDone);
    connect(m_page, &CPlayerPageView::changed, this, &CPlayersWindow::playerChanged);
    connect(m_page, &CPlayerPageView::forgotten, this, [this](const QByteArray& name) {
        {
            const QSignalBlocker quiet(m_results); // no other player's page comes up in its place
            delete RowOf(name.toStdString());
            m_results->setCurrentItem(nullptr);
        }
        emit playerChanged(name);
    });
}

void CPlayersWindow::Open(const std::optional<ServerKey>& where, const std::string& admin) {
    const bool otherServer =
        !where || !server || where->host != server->host || where->port != server->port;
    server = where;
    adminUser = admin;
    setWindowTitle(server ? Text(playertexts::PLAYERS_CAPTION)
                                .arg(QString::fromStdString(server->host) + u':' +
                                     QString::number(server->port))
                          : Text(playertexts::PLAYERS_CAPTION_NO_SERVER));
    if (otherServer) {
        m_page->Clear();
    }
    Search();
    show();
    raise();
    activateWindow();
}

void CPlayersWindow::Search() {
    if (!server) {
        m_results->clear();
        m_status->setText(Text(playertexts::NO_SERVER));
        return;
    }
    const std::string typed = m_search->text().trimmed().toStdString();
    const bool chat = m_byChat->isChecked() && !typed.empty();
    const auto read = chat ? store.SearchChat(*server, typed, MOST_LISTED)
                           : store.SearchNames(*server, typed, MOST_LISTED);
    emit readDone();
    if (!read.Ok()) {
        m_status->setText(QString::fromStdString(read.error));
        return;
    }
    Fill(read.value, chat);
}

void CPlayersWindow::Fill(const std::vector<PlayerSummary>& found, bool chat) {
    const std::string chosen = m_page->Showing() ? m_page->Name() : std::string();
    QSignalBlocker quiet(m_results); // the page stays as it is while the rows change
    m_results->setSortingEnabled(false);
    m_results->clear();
    QList<QTreeWidgetItem*> rows;
    for (const PlayerSummary& summary : found) {
        const PlayerRecord& r = summary.record;
        auto* row = new ResultRow;
        row->setText(NAME,
                     r.name.empty() ? Text(playertexts::SERVER_ROW) : FromWire(Printable(r.name)));
        row->setData(NAME, NAME_ROLE, QByteArray::fromStdString(r.name));
        // Online players first, then by the time last seen.
        row->setText(LAST_SEEN, r.onlineSince ? Text(playertexts::ONLINE_NOW)
                                : r.lastSeen  ? QString::fromStdString(LocalTimeText(*r.lastSeen))
                                              : QString());
        row->setData(LAST_SEEN, SORT_ROLE,
                     r.onlineSince ? std::numeric_limits<qlonglong>::max()
                                   : static_cast<qlonglong>(r.lastSeen.value_or(0)));
        // The server's own lines have no sessions, play time or deeds to show.
        if (!r.name.empty()) {
            row->setText(SESSIONS, QString::number(r.sessions));
            row->setText(PLAY_TIME, QString::fromStdString(PlayTimeText(r.playSeconds)));
            row->setText(KICKS_BANS, QStringLiteral("%1 / %2").arg(r.kicks).arg(r.bans));
        }
        row->setData(SESSIONS, SORT_ROLE, static_cast<qlonglong>(r.sessions));
        row->setData(PLAY_TIME, SORT_ROLE, static_cast<qlonglong>(r.playSeconds));
        row->setData(KICKS_BANS, SORT_ROLE, static_cast<qlonglong>(r.kicks + r.bans));
        if (chat) {
            row->setText(LINES, QString::number(summary.matchingLines));
            row->setData(LINES, SORT_ROLE, static_cast<qlonglong>(summary.matchingLines));
        }
        const std::string note = NoteText(r.note, false);
        row->setText(NOTE, QString::fromStdString(NoteText(note.substr(0, note.find('\n')), true)));
        for (const int column : {SESSIONS, KICKS_BANS, LINES}) {
            row->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
        rows << row;
    }
    m_results->addTopLevelItems(rows);
    m_results->setColumnHidden(LINES, !chat);
    m_results->setSortingEnabled(true);
    if (QTreeWidgetItem* again = chosen.empty() ? nullptr : RowOf(chosen)) {
        m_results->setCurrentItem(again);
        OnChosen(again); // the page again, its chat filtered by this search's words
    }
    const int count = static_cast<int>(found.size());
    m_status->setText(count == 0             ? Text(playertexts::FOUND_NONE)
                      : count >= MOST_LISTED ? Text(playertexts::FOUND_MANY).arg(count)
                                             : Text(playertexts::FOUND_SOME).arg(count));
}

QTreeWidgetItem* CPlayersWindow::RowOf(const std::string& name) const {
    const QByteArray wanted = QByteArray::fromStdString(name);
    for (int i = 0; i < m_results->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = m_results->topLevelItem(i);
        if (row->data(NAME, NAME_ROLE).toByteArray() == wanted) {
            return row;
        }
    }
    return nullptr;
}

void CPlayersWindow::OnChosen(QTreeWidgetItem* item) {
    if (!item || !server) {
        return;
    }
    // A chat search shows the player's lines that matched.
    const QString words = m_byChat->isChecked() ? m_search->text().trimmed() : QString();
    m_page->Show(*server, adminUser, item->data(NAME, NAME_ROLE).toByteArray().toStdString(),
                 words);
}

void CPlayersWindow::ShowPlayer(const std::string& name) {
    if (!server) {
        return;
    }
    if (QTreeWidgetItem* row = RowOf(name)) {
        if (m_results->currentItem() == row) {
            OnChosen(row);
        } else {
            m_results->setCurrentItem(row);
        }
        m_results->scrollToItem(row);
    } else {
        m_page->Show(*server, adminUser, name, {});
    }
}
