#include "ui/PagePlayerMemory.h"

#include <QTimer>
#include <utility>

#include "core/players/PlayerRecorder.h"
#include "core/players/PlayerStore.h"
#include "core/players/PlayerTexts.h"
#include "engine/AdminClient.h"
#include "engine/PrintableText.h"
#include "ui/NoteEditor.h"
#include "ui/PlayerMemoryTexts.h"
#include "ui/PlayerTable.h"
#include "ui/PlayersWindow.h"
#include "ui/SharedPlayerStore.h"
#include "ui/WireText.h"

namespace {

using Clock = CPlayerSeenCache::Clock;

// Problems are looked for, and the Seen column brought up to date after joins, this often.
constexpr int SECOND_MS = 1000;
// Joins waiting for the memory to open are kept up to this many (a roster's worth).
constexpr std::size_t MAX_UNCHECKED_JOINS = 512;

QString Utf8(const std::string& text) {
    return QString::fromStdString(text);
}

// Server bytes, escaped, as the table shows them.
QString ShownName(const std::string& name) {
    return FromWire(Printable(name));
}

QString Html(const QString& text) {
    return text.toHtmlEscaped();
}

// The note's lines, each escaped, for rich text.
QString NoteHtml(const std::string& note) {
    QStringList lines;
    for (const QString& line : Utf8(NoteText(note, false)).split(u'\n')) {
        lines << Html(Utf8(NoteText(line.toStdString(), true)));
    }
    return lines.join(QStringLiteral("<br>"));
}

QString TipLine(const char* label, const QString& value) {
    return QStringLiteral("<br>%1: %2").arg(Html(QString::fromUtf8(label)), value);
}

PlayerSeen Describe(const std::string& name, const CPlayerSeenCache::Entry& entry,
                    Clock::time_point now) {
    PlayerSeen seen;
    QString tip = QStringLiteral("<qt><b>%1</b>").arg(Html(ShownName(name)));
    if (!entry.record) {
        if (entry.error.empty()) {
            seen.text = Utf8(SeenText(PlayerRecord{}));
            seen.order = 0;
            tip += QStringLiteral("<br>") + Html(QString::fromUtf8(playertexts::TIP_NEW));
        } else {
            tip += QStringLiteral("<br>") +
                   Html(QString::fromUtf8(playertexts::TIP_UNREAD).arg(Utf8(entry.error)));
        }
        seen.tip = tip + QStringLiteral("</qt>");
        return seen;
    }
    PlayerRecord record = *entry.record;
    if (record.onlineSince) { // the open session went on since the read
        record.playSeconds +=
            std::chrono::duration_cast<std::chrono::seconds>(now - entry.readAt).count();
    }
    seen.text = Utf8(SeenText(record));
    seen.order = record.sessions <= 1 ? 0 : record.playSeconds;
    seen.watched = record.flag == PlayerFlag::Watch;
    if (record.flag != PlayerFlag::None) {
        tip += QStringLiteral(" &ndash; ") +
               Html(QString::fromUtf8(seen.watched ? playertexts::TIP_WATCHED
                                                   : playertexts::TIP_TRUSTED));
    }
    if (record.sessions <= 1) {
        tip += QStringLiteral("<br>") + Html(QString::fromUtf8(playertexts::TIP_NEW));
    }
    if (record.firstSeen) {
        tip += TipLine(playertexts::TIP_FIRST_SEEN, Html(Utf8(LocalTimeText(*record.firstSeen))));
    }
    if (record.lastSeen) {
        tip += TipLine(playertexts::TIP_LAST_SEEN, Html(Utf8(LocalTimeText(*record.lastSeen))));
    }
    tip += TipLine(playertexts::TIP_KILLS_DEATHS,
                   QStringLiteral("%1 / %2").arg(record.kills).arg(record.deaths));
    if (!record.note.empty()) {
        tip += TipLine(playertexts::TIP_NOTE, NoteHtml(record.note));
    }
    seen.tip = tip + QStringLiteral("</qt>");
    return seen;
}

// The roster keeps a name up to its first NUL; so does the memory.
std::string Identity(const std::string& name) {
    return name.substr(0, name.find('\0'));
}

} // namespace

CPagePlayerMemory::CPagePlayerMemory(QWidget* page, CPlayerTable* table,
                                     std::function<std::optional<PageServer>()> server,
                                     int chatRetentionDays)
    : QObject(page), page(page), table(table), server(std::move(server)),
      store(SharedPlayerStore(chatRetentionDays)), cache(*store), second(new QTimer(this)) {
    // Opened on the store's own thread: a file in trouble is said at start, not at the first
    // connection.
    store->Open();
    table->SetSeenSource([this](const std::vector<std::string>& names) { return SeenOf(names); });
    connect(table, &CPlayerTable::noteRequested, this,
            [this](const QByteArray& name) { EditNote(name.toStdString()); });
    connect(table, &CPlayerTable::historyRequested, this,
            [this](const QByteArray& name) { ShowHistory(name.toStdString()); });
    connect(second, &QTimer::timeout, this, &CPagePlayerMemory::OnSecond);
    second->start(SECOND_MS);
}

CPagePlayerMemory::~CPagePlayerMemory() = default;

void CPagePlayerMemory::SessionStarting(CAdminClient* newClient, const PageServer& session) {
    // The recorder of the session before ends it; a new one follows the new client.
    if (recorder) {
        recorder->OnConnect({}, {});
    }
    uncheckedJoins.clear();
    client = newClient;
    recorder = std::make_unique<CPlayerRecorder>(*store, *client);
    recorder->OnConnect(session.key, session.adminUser);
    cache.SetServer(session.key);
}

void CPagePlayerMemory::Observe(const ClientEvent& event) {
    if (!recorder) {
        return;
    }
    recorder->OnEvent(event);
    if (const auto* joined = std::get_if<event::PlayerJoined>(&event.what)) {
        const std::string name = Identity(joined->player.name);
        if (!CheckJoin(name) && uncheckedJoins.size() < MAX_UNCHECKED_JOINS) {
            uncheckedJoins.push_back(name);
        }
        cache.Changed(name, Clock::now());
    }
}

bool CPagePlayerMemory::CheckJoin(const std::string& name) {
    const CPlayerSeenCache::Entry& entry = cache.LookupOne(name, Clock::now());
    if (!entry.error.empty()) {
        return false;
    }
    if (entry.record && entry.record->flag == PlayerFlag::Watch && client) {
        // Right after the join's own line, in the client's log mailbox.
        std::string line =
            playertexts::WATCH_MARK +
            QString::fromUtf8(playertexts::LOG_WATCHED_JOINED).arg(ShownName(name)).toStdString();
        const std::string note = NoteText(entry.record->note, false);
        if (!note.empty()) {
            line += ": " + NoteText(note.substr(0, note.find('\n')), true);
        }
        // The log takes Latin-1: what the note holds beyond it shows as '?'.
        client->QueueLog(Utf8(line).toLatin1().toStdString(), playertexts::COLOUR_WATCHED);
        emit watchedPlayerJoined(ShownName(name));
        emit attentionWanted();
    }
    return true;
}

void CPagePlayerMemory::Tick() {
    if (recorder) {
        recorder->OnTick();
    }
    ReportProblems();
}

void CPagePlayerMemory::BeforeKick(int position) {
    if (recorder) {
        recorder->OnKick(position);
    }
}

void CPagePlayerMemory::OnAutomation(const AutomationOutput& output) {
    if (recorder) {
        recorder->OnAutomation(output);
    }
    if (output.hasPlayer && output.type == AutomationOutputType::Note) {
        cache.Changed(Identity(output.playerName), Clock::now());
    }
}

void CPagePlayerMemory::Closing() {
    if (recorder) {
        recorder->OnTick(); // the client is disconnected by now: the session ends
    }
}

void CPagePlayerMemory::SetChatRetention(int days) {
    store->SetChatRetention(days);
}

std::vector<PlayerSeen> CPagePlayerMemory::SeenOf(const std::vector<std::string>& names) {
    if (cache.Server().host.empty()) {
        return std::vector<PlayerSeen>(names.size());
    }
    const Clock::time_point now = Clock::now();
    const std::vector<const CPlayerSeenCache::Entry*> entries = cache.Lookup(names, now);
    std::vector<PlayerSeen> seen;
    seen.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        seen.push_back(Describe(names[i], *entries[i], now));
    }
    return seen;
}

void CPagePlayerMemory::ReportProblems() {
    for (const std::string& text : store->TakeProblems()) {
        emit problem(Utf8(text));
    }
}

void CPagePlayerMemory::OnSecond() {
    ReportProblems();
    if (!uncheckedJoins.empty() && store->State() != StoreState::Opening) {
        std::vector<std::string> names = std::exchange(uncheckedJoins, {});
        for (const std::string& name : names) {
            if (!CheckJoin(name)) {
                uncheckedJoins.push_back(name);
            }
        }
    }
    if (cache.RefreshDue(Clock::now())) {
        table->RefreshSeen();
    }
}

void CPagePlayerMemory::EnsureWindow() {
    if (window) {
        return;
    }
    window = new CPlayersWindow(*store, page);
    connect(window, &CPlayersWindow::readDone, this, &CPagePlayerMemory::ReportProblems);
    connect(window, &CPlayersWindow::playerChanged, this,
            [this](const QByteArray& name) { cache.Changed(name.toStdString(), Clock::now()); });
}

void CPagePlayerMemory::ShowPlayersWindow() {
    EnsureWindow();
    const std::optional<PageServer> at = server();
    window->Open(at ? std::optional(at->key) : std::nullopt, at ? at->adminUser : std::string());
}

void CPagePlayerMemory::ShowHistory(const std::string& name) {
    ShowPlayersWindow();
    window->ShowPlayer(name);
}

void CPagePlayerMemory::EditNote(const std::string& name) {
    const std::optional<PageServer> at = server();
    if (!at) {
        return;
    }
    if (!noteEditor) {
        noteEditor = new CNoteEditor(page);
        connect(noteEditor, &CNoteEditor::saved, this,
                [this](const PageServer& where, const QByteArray& player, const QString& text) {
                    store->SetNote(where.key, player.toStdString(), text.toStdString(),
                                   where.adminUser);
                    cache.Changed(player.toStdString(), Clock::now());
                });
    }
    const auto record = store->Record(at->key, name);
    ReportProblems();
    const bool paused = store->State() == StoreState::Paused;
    noteEditor->Open(*at, QByteArray::fromStdString(name), ShownName(name),
                     record.value ? Utf8(record.value->note) : QString(),
                     record.Ok() && !paused ? QString()
                     : paused               ? QString::fromUtf8(playertexts::NOTE_NOT_SAVED)
                                            : Utf8(record.error));
}
