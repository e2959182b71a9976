#include "core/players/PlayerReader.h"

#include <algorithm>
#include <utility>

#include "core/WireText.h"
#include "core/players/ChatQuery.h"
#include "core/players/PlayerSchema.h"

namespace {

// Long enough for a checkpoint of another program to end, short enough not to be felt.
constexpr int BUSY_TIMEOUT_MS = 100;

// A player row, with the start of a session still open. Column 0 is the row id.
#define RECORD_COLUMNS                                                                             \
    "SELECT p.id, p.name, p.first_seen, p.last_seen, p.sessions, p.play_seconds, p.kills, "        \
    "p.deaths, p.suicides, p.score, p.kicks, p.bans, p.note, p.flag, "                             \
    "(SELECT min(s.joined_at) FROM sessions s INDEXED BY sessions_open "                           \
    "WHERE s.player_id = p.id AND s.left_at IS NULL) "

#define BAN_COLUMNS                                                                                \
    "SELECT id, name, address, reason, banned_at, expires_at, admin_user, state, lifted_at, "      \
    "lift_failures FROM bans "

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? (b > 0 ? INT64_MAX : INT64_MIN) : sum;
}

// A stored number as one of an enum's values; a number no version wrote becomes `fallback`.
template <typename Enum> Enum EnumFrom(std::int64_t stored, Enum highest, Enum fallback) {
    return stored >= 0 && stored <= static_cast<std::int64_t>(highest) ? static_cast<Enum>(stored)
                                                                       : fallback;
}

PlayerRecord ReadRecord(const CSqliteStatement& row, std::int64_t now) {
    PlayerRecord r;
    r.name = row.Blob(1);
    r.firstSeen = row.OptionalInt(2);
    r.lastSeen = row.OptionalInt(3);
    r.sessions = row.Int(4);
    r.playSeconds = row.Int(5);
    r.kills = row.Int(6);
    r.deaths = row.Int(7);
    r.suicides = row.Int(8);
    r.score = row.OptionalInt(9);
    r.kicks = row.Int(10);
    r.bans = row.Int(11);
    r.note = row.Text(12);
    r.flag = EnumFrom(row.Int(13), PlayerFlag::Trusted, PlayerFlag::None);
    r.onlineSince = row.OptionalInt(14);
    if (r.onlineSince && *r.onlineSince <= now) {
        r.playSeconds = SaturatingAdd(r.playSeconds, now - *r.onlineSince);
    }
    return r;
}

BanRecord ReadBan(const CSqliteStatement& row) {
    BanRecord b;
    b.id = row.Int(0);
    b.name = row.Blob(1);
    if (!row.IsNull(2)) {
        b.address = row.Text(2);
    }
    b.reason = row.Text(3);
    b.bannedAt = row.Int(4);
    b.expiresAt = row.OptionalInt(5);
    b.adminUser = row.Text(6);
    b.state = EnumFrom(row.Int(7), BanState::LiftedElsewhere, BanState::Active);
    b.liftedAt = row.OptionalInt(8);
    b.liftFailures = row.Int(9);
    return b;
}

int Limit(int wanted) {
    return std::max(wanted, 0);
}

} // namespace

struct CPlayerReader::Statements {
    SqlStatus status; // the first failure to prepare; declared first, so made first
    explicit Statements(CSqliteDatabase& db)
        : server(P(db, "SELECT id FROM servers WHERE host = ?1 AND port = ?2")),
          record(P(db, RECORD_COLUMNS "FROM players p WHERE p.server_id = ?1 AND p.name = ?2")),
          byName(P(db, RECORD_COLUMNS "FROM players p WHERE p.server_id = ?1 "
                                      "AND instr(vyr_fold(p.name), ?2) > 0 "
                                      "ORDER BY p.last_seen DESC NULLS LAST, p.id DESC LIMIT ?3")),
          linesByPlayer(P(db, "SELECT vyr_lines_by_player(rowid) FROM chat_words "
                              "WHERE chat_words MATCH ?1")),
          owner(P(db, "SELECT server_id, last_seen FROM players WHERE id = ?1")),
          recordById(P(db, RECORD_COLUMNS "FROM players p WHERE p.id = ?1")),
          sessions(P(db, "SELECT joined_at, how_joined, left_at, how_left FROM sessions "
                         "WHERE player_id = ?1 ORDER BY joined_at DESC, id DESC LIMIT ?2")),
          sessionCount(P(db, "SELECT count(*) FROM sessions WHERE player_id = ?1")),
          chat(P(db, "SELECT at, kind, text FROM chat WHERE id BETWEEN ?1 AND ?2 "
                     "ORDER BY id DESC LIMIT ?3 OFFSET ?4")),
          chatCount(P(db, "SELECT count(*) FROM chat WHERE id BETWEEN ?1 AND ?2")),
          chatMatching(P(db, "SELECT chat.at, chat.kind, chat.text FROM chat_words "
                             "JOIN chat ON chat.id = chat_words.rowid WHERE chat_words MATCH ?3 "
                             "AND chat_words.rowid BETWEEN ?1 AND ?2 "
                             "ORDER BY chat_words.rowid DESC LIMIT ?4 OFFSET ?5")),
          chatMatchingCount(P(db, "SELECT count(*) FROM chat_words WHERE chat_words "
                                  "MATCH ?3 AND rowid BETWEEN ?1 AND ?2")),
          actions(P(db, "SELECT at, kind, admin_user, detail FROM actions "
                        "WHERE player_id = ?1 ORDER BY at DESC, id DESC")),
          bans(P(db, BAN_COLUMNS "WHERE server_id = ?1 ORDER BY banned_at DESC, id DESC")),
          bansDue(P(db, BAN_COLUMNS "WHERE server_id = ?1 AND state <= 1 "
                                    "AND expires_at <= ?2 ORDER BY expires_at, id")),
          banByAddress(P(db, BAN_COLUMNS "WHERE server_id = ?1 AND address = ?2 "
                                         "ORDER BY state <= 1 DESC, banned_at DESC, id DESC "
                                         "LIMIT 1")) {}

    CSqliteStatement P(CSqliteDatabase& db, const char* sql) { return db.Prepare(sql, &status); }

    CSqliteStatement server, record, byName, linesByPlayer, owner, recordById;
    CSqliteStatement sessions, sessionCount, chat, chatCount;
    CSqliteStatement chatMatching, chatMatchingCount, actions, bans, bansDue, banByAddress;
};

namespace {

// One read transaction around all the statements of a read: one snapshot, so that a page's
// parts agree with each other, and the file's locks taken once instead of per statement.
class Snapshot {
  public:
    explicit Snapshot(CSqliteDatabase& db) : db(db) { db.Exec("BEGIN"); }
    ~Snapshot() { db.Exec("COMMIT"); }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;

  private:
    CSqliteDatabase& db;
};

// Resets the statement however the read ends.
class Resetting {
  public:
    explicit Resetting(CSqliteStatement& statement) : statement(statement) {}
    ~Resetting() { statement.Reset(); }
    Resetting(const Resetting&) = delete;
    Resetting& operator=(const Resetting&) = delete;

  private:
    CSqliteStatement& statement;
};

} // namespace

CPlayerReader::CPlayerReader(std::string path) : path(std::move(path)) {}

CPlayerReader::~CPlayerReader() {
    Close();
}

void CPlayerReader::Close() {
    statements.reset();
    db.Close();
}

std::string CPlayerReader::Ensure() {
    if (statements) {
        return {};
    }
    sawDamage = false;
    SqlStatus status = db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    if (status.Ok()) {
        db.SetBusyTimeout(BUSY_TIMEOUT_MS);
        status = db.Exec("PRAGMA query_only = ON");
    }
    if (status.Ok()) {
        status = player_schema::RegisterFunctions(db);
    }
    if (status.Ok()) {
        statements = std::make_unique<Statements>(db);
        status = statements->status;
    }
    if (!status.Ok()) {
        std::string error = Failure(status.code);
        Close();
        return error;
    }
    return {};
}

std::string CPlayerReader::Failure(int code) {
    const SqlStatus status = db.StatusOf(code);
    if (status.Busy()) {
        return "the player memory is busy (another program is writing to it); try again";
    }
    if (status.Damaged()) {
        sawDamage = true;
        return "the player memory is damaged";
    }
    return "reading the player memory failed: " + status.message;
}

std::optional<std::int64_t> CPlayerReader::ServerId(const ServerKey& server, std::string& error) {
    CSqliteStatement& s = statements->server;
    Resetting reset(s);
    s.BindText(1, server.host).Bind(2, server.port);
    const int code = s.Step();
    if (code == SQLITE_ROW) {
        return s.Int(0);
    }
    if (code != SQLITE_DONE) {
        error = Failure(code);
    }
    return std::nullopt;
}

std::optional<std::pair<std::int64_t, PlayerRecord>> CPlayerReader::Record(std::int64_t serverId,
                                                                           const std::string& name,
                                                                           std::int64_t now,
                                                                           std::string& error) {
    CSqliteStatement& s = statements->record;
    Resetting reset(s);
    s.Bind(1, serverId).BindBlob(2, name);
    const int code = s.Step();
    if (code == SQLITE_ROW) {
        return std::make_pair(s.Int(0), ReadRecord(s, now));
    }
    if (code != SQLITE_DONE) {
        error = Failure(code);
    }
    return std::nullopt;
}

StoreRead<std::vector<std::optional<PlayerRecord>>>
CPlayerReader::Records(const ServerKey& server, const std::vector<std::string>& names,
                       std::int64_t now) {
    StoreRead<std::vector<std::optional<PlayerRecord>>> read;
    if (!(read.error = Ensure()).empty()) {
        return read;
    }
    Snapshot snapshot(db);
    read.value.resize(names.size());
    const auto serverId = ServerId(server, read.error);
    for (std::size_t i = 0; serverId && read.Ok() && i < names.size(); ++i) {
        if (auto found = Record(*serverId, names[i], now, read.error)) {
            read.value[i] = std::move(found->second);
        }
    }
    if (!read.Ok()) {
        read.value.clear();
    }
    return read;
}

StoreRead<std::vector<PlayerSummary>> CPlayerReader::Summaries(CSqliteStatement& statement,
                                                               std::int64_t now) {
    StoreRead<std::vector<PlayerSummary>> read;
    Resetting reset(statement);
    int code = SQLITE_ROW;
    while ((code = statement.Step()) == SQLITE_ROW) {
        read.value.push_back({ReadRecord(statement, now), 0});
    }
    if (code != SQLITE_DONE) {
        read.error = Failure(code);
        read.value.clear();
    }
    return read;
}

StoreRead<std::vector<PlayerSummary>> CPlayerReader::SearchNames(const ServerKey& server,
                                                                 const std::string& fragment,
                                                                 int limit, std::int64_t now) {
    StoreRead<std::vector<PlayerSummary>> read;
    if (!(read.error = Ensure()).empty()) {
        return read;
    }
    Snapshot snapshot(db);
    // Names are Latin-1: typed text that Latin-1 cannot carry matches no name.
    const WireText latin1 = TextForWire(fragment, fragment.size());
    const auto serverId = ServerId(server, read.error);
    if (!serverId || !latin1.Ok()) {
        return read;
    }
    CSqliteStatement& s = statements->byName;
    s.Bind(1, *serverId)
        .BindBlob(2, player_schema::FoldLatin1(latin1.latin1))
        .Bind(3, Limit(limit));
    return Summaries(s, now);
}

StoreRead<std::vector<PlayerSummary>> CPlayerReader::SearchChat(const ServerKey& server,
                                                                const std::string& words, int limit,
                                                                std::int64_t now) {
    StoreRead<std::vector<PlayerSummary>> read;
    if (!(read.error = Ensure()).empty()) {
        return read;
    }
    Snapshot snapshot(db);
    const std::string match = ChatMatchQuery(words);
    const auto serverId = ServerId(server, read.error);
    if (!serverId || match.empty()) {
        return read;
    }
    Statements& s = *statements;
    struct Found {
        std::int64_t playerId, lines, lastSeen;
    };
    std::vector<Found> found;
    int code = SQLITE_ROW;
    {
        Resetting reset(s.linesByPlayer);
        s.linesByPlayer.BindText(1, match);
        code = s.linesByPlayer.Step();
        if (code == SQLITE_ROW) {
            for (const player_schema::PlayerLines& count :
                 player_schema::PlayerLinesFrom(s.linesByPlayer.Blob(0))) {
                found.push_back({count.playerId, count.lines, 0});
            }
            code = SQLITE_DONE;
        }
    }
    // Of this server only, most recently seen first.
    auto kept = found.begin();
    for (auto it = found.begin(); code == SQLITE_DONE && it != found.end(); ++it) {
        Resetting reset(s.owner);
        s.owner.Bind(1, it->playerId);
        code = s.owner.Step();
        if (code == SQLITE_ROW && s.owner.Int(0) == *serverId) {
            *kept++ = {it->playerId, it->lines, s.owner.OptionalInt(1).value_or(INT64_MIN)};
        }
        code = code == SQLITE_ROW ? SQLITE_DONE : code;
    }
    found.erase(kept, found.end());
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.lastSeen != b.lastSeen ? a.lastSeen > b.lastSeen : a.playerId > b.playerId;
    });
    found.resize(std::min(found.size(), static_cast<std::size_t>(Limit(limit))));
    for (auto it = found.begin(); code == SQLITE_DONE && it != found.end(); ++it) {
        Resetting reset(s.recordById);
        s.recordById.Bind(1, it->playerId);
        code = s.recordById.Step();
        if (code == SQLITE_ROW) {
            read.value.push_back({ReadRecord(s.recordById, now), it->lines});
            code = SQLITE_DONE;
        }
    }
    if (code != SQLITE_DONE) {
        read.error = Failure(code);
        read.value.clear();
    }
    return read;
}

StoreRead<std::optional<PlayerPage>> CPlayerReader::Page(const ServerKey& server,
                                                         const std::string& name,
                                                         const PageQuery& query, std::int64_t now) {
    StoreRead<std::optional<PlayerPage>> read;
    if (!(read.error = Ensure()).empty()) {
        return read;
    }
    Snapshot snapshot(db);
    const auto serverId = ServerId(server, read.error);
    auto found = serverId ? Record(*serverId, name, now, read.error) : std::nullopt;
    if (!found) {
        return read;
    }
    const std::int64_t playerId = found->first;
    PlayerPage page;
    page.record = std::move(found->second);
    Statements& s = *statements;
    int code = SQLITE_DONE;

    const auto count = [&](CSqliteStatement& statement, std::int64_t& total) {
        Resetting reset(statement);
        code = statement.Step();
        if (code == SQLITE_ROW) {
            total = statement.Int(0);
            code = SQLITE_DONE;
        }
    };
    {
        Resetting reset(s.sessions);
        s.sessions.Bind(1, playerId).Bind(2, Limit(query.sessionLimit));
        while ((code = s.sessions.Step()) == SQLITE_ROW) {
            SessionEntry entry;
            entry.joinedAt = s.sessions.Int(0);
            entry.howJoined = EnumFrom(s.sessions.Int(1), JoinHow::PresentAtLogin, JoinHow::Joined);
            entry.leftAt = s.sessions.OptionalInt(2);
            if (const auto how = s.sessions.OptionalInt(3)) {
                entry.howLeft = EnumFrom(*how, LeaveHow::RecordingLost, LeaveHow::Left);
            }
            page.sessions.push_back(entry);
        }
    }
    if (code == SQLITE_DONE) {
        s.sessionCount.Bind(1, playerId);
        count(s.sessionCount, page.sessionTotal);
    }

    const std::string match = ChatMatchQuery(query.chatFilter);
    const bool filtered = !query.chatFilter.empty();
    // A filter without a word matches no line.
    if (code == SQLITE_DONE && player_schema::HasChatRange(playerId) &&
        (!filtered || !match.empty())) {
        CSqliteStatement& lines = filtered ? s.chatMatching : s.chat;
        CSqliteStatement& total = filtered ? s.chatMatchingCount : s.chatCount;
        for (CSqliteStatement* statement : {&lines, &total}) {
            statement->Bind(1, player_schema::FirstChatId(playerId))
                .Bind(2, player_schema::LastChatId(playerId));
            if (filtered) {
                statement->BindText(3, match);
            }
        }
        const int at = filtered ? 4 : 3;
        lines.Bind(at, Limit(query.chatLimit)).Bind(at + 1, Limit(query.chatOffset));
        {
            Resetting reset(lines);
            while ((code = lines.Step()) == SQLITE_ROW) {
                page.chat.push_back(
                    ChatEntry{lines.Int(0), static_cast<int>(lines.Int(1) & 0xff), lines.Blob(2)});
            }
        }
        if (code == SQLITE_DONE) {
            count(total, page.chatTotal);
        }
    }

    if (code == SQLITE_DONE) {
        Resetting reset(s.actions);
        s.actions.Bind(1, playerId);
        while ((code = s.actions.Step()) == SQLITE_ROW) {
            page.actions.push_back(ActionEntry{
                s.actions.Int(0), EnumFrom(s.actions.Int(1), ActionKind::Note, ActionKind::Note),
                s.actions.Text(2), s.actions.Text(3)});
        }
    }
    if (code != SQLITE_DONE) {
        read.error = Failure(code);
        return read;
    }
    read.value = std::move(page);
    return read;
}

StoreRead<std::vector<BanRecord>> CPlayerReader::BanRows(CSqliteStatement& statement,
                                                         std::size_t most) {
    StoreRead<std::vector<BanRecord>> read;
    Resetting reset(statement);
    int code = SQLITE_ROW;
    while (read.value.size() < most && (code = statement.Step()) == SQLITE_ROW) {
        read.value.push_back(ReadBan(statement));
    }
    if (code != SQLITE_DONE && code != SQLITE_ROW) {
        read.error = Failure(code);
        read.value.clear();
    }
    return read;
}

StoreRead<std::vector<BanRecord>> CPlayerReader::Bans(const ServerKey& server) {
    StoreRead<std::vector<BanRecord>> read;
    if (!(read.error = Ensure()).empty()) {
        return read;
    }
    Snapshot snapshot(db);
    const auto serverId = ServerId(server, read.error);
    if (!serverId) {
        return read;
    }
    statements->bans.Bind(1, *serverId);
    return BanRows(statements->bans, SIZE_MAX);
}

StoreRead<std::vector<BanRecord>> CPlayerReader::BansDue(const ServerKey& server,
                                                         std::int64_t now) {
    StoreRead<std::vector<BanRecord>> read;
    if (!(read.error = Ensure()).empty()) {
        return read;
    }
    Snapshot snapshot(db);
    const auto serverId = ServerId(server, read.error);
    if (!serverId) {
        return read;
    }
    statements->bansDue.Bind(1, *serverId).Bind(2, now);
    return BanRows(statements->bansDue, SIZE_MAX);
}

StoreRead<std::optional<BanRecord>> CPlayerReader::BanByAddress(const ServerKey& server,
                                                                const std::string& address) {
    StoreRead<std::optional<BanRecord>> read;
    if (!(read.error = Ensure()).empty()) {
        return read;
    }
    Snapshot snapshot(db);
    const auto serverId = ServerId(server, read.error);
    if (!serverId) {
        return read;
    }
    statements->banByAddress.Bind(1, *serverId).BindText(2, address);
    StoreRead<std::vector<BanRecord>> rows = BanRows(statements->banByAddress, 1);
    read.error = std::move(rows.error);
    if (!rows.value.empty()) {
        read.value = std::move(rows.value.front());
    }
    return read;
}
