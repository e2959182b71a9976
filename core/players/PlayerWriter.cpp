#include "core/players/PlayerWriter.h"

#include <algorithm>
#include <utility>

#include "core/players/PlayerSchema.h"
#include "core/players/SchemaMigrations.h"

namespace {

// Long enough for another program's commit; a longer lock is waited out by trying again.
constexpr int BUSY_TIMEOUT_MS = 1000;
// A connection whose recorder has not committed for this long has ended without a goodbye.
// A live recorder commits at least every few seconds while connected.
constexpr std::int64_t STALE_CONNECTION_SECONDS = 60;
constexpr std::int64_t DAY_SECONDS = 24 * 60 * 60;

const char* LiftDetail(BanState how) {
    switch (how) {
    case BanState::LiftedAtExpiry:
        return "ban expired and lifted";
    case BanState::LiftedByAdmin:
        return "ban lifted by the admin";
    case BanState::LiftedElsewhere:
        return "ban lifted elsewhere";
    default:
        return "ban lifted";
    }
}

// Readers and the writer then work side by side. Only outside a transaction; another
// program's open transaction leaves the mode as it was, which counts as busy.
SqlStatus SwitchToWal(CSqliteDatabase& db) {
    CSqliteStatement wal = db.Prepare("PRAGMA journal_mode = WAL");
    const int code = wal.Valid() ? wal.Step() : db.LastCode();
    if (code == SQLITE_ROW && wal.Text(0) != "wal") {
        return {SQLITE_BUSY, "the journal mode could not be changed"};
    }
    return db.StatusOf(code);
}

template <typename T> const T& Unboxed(const T& what) {
    return what;
}
template <typename T> const T& Unboxed(const record::Boxed<T>& what) {
    return *what;
}

} // namespace

struct CPlayerWriter::Statements {
    SqlStatus status; // the first failure to prepare; declared first, so made first
    explicit Statements(CSqliteDatabase& db)
        : findServer(P(db, "SELECT id FROM servers WHERE host = ?1 AND port = ?2")),
          insertServer(P(db, "INSERT INTO servers(host, port) VALUES(?1, ?2)")),
          findPlayer(P(db, "SELECT id FROM players WHERE server_id = ?1 AND name = ?2")),
          insertPlayer(P(db, "INSERT INTO players(server_id, name, first_seen, last_seen) "
                             "VALUES(?1, ?2, ?3, ?3)")),
          updatePlayer(P(
              db, "UPDATE players SET first_seen = coalesce(first_seen, ?2), "
                  "last_seen = CASE WHEN ?3 IS NULL THEN last_seen "
                  "WHEN last_seen IS NULL OR last_seen < ?3 THEN ?3 ELSE last_seen END, "
                  "sessions = sessions + ?4, play_seconds = play_seconds + ?5, kills = kills + ?6, "
                  "deaths = deaths + ?7, suicides = suicides + ?8, score = coalesce(?9, score), "
                  "kicks = kicks + ?10, bans = bans + ?11 WHERE id = ?1")),
          insertConnection(P(db, "INSERT INTO connections(server_id, admin_user, "
                                 "started_at, heartbeat_at) VALUES(?1, ?2, ?3, ?3)")),
          endConnection(
              P(db, "UPDATE connections SET ended_at = ?2 WHERE id = ?1 AND ended_at IS NULL")),
          heartbeat(P(db, "UPDATE connections SET heartbeat_at = ?2 WHERE id = ?1")),
          staleConnections(P(db, "SELECT id, heartbeat_at FROM connections "
                                 "WHERE ended_at IS NULL AND heartbeat_at < ?1")),
          openSessionsOf(P(db, "SELECT id, player_id, joined_at FROM sessions "
                               "WHERE connection_id = ?1 AND left_at IS NULL")),
          insertSession(P(db, "INSERT INTO sessions(player_id, connection_id, joined_at, "
                              "how_joined) VALUES(?1, ?2, ?3, ?4)")),
          closeSession(P(db, "UPDATE sessions SET left_at = ?2, how_left = ?3 "
                             "WHERE id = ?1 AND left_at IS NULL")),
          lastChatId(P(db, "SELECT max(id) FROM chat WHERE id BETWEEN ?1 AND ?2")),
          insertChat(P(db, "INSERT INTO chat(id, at, kind, text) VALUES(?1, ?2, ?3, ?4)")),
          insertChatWords(P(db, "INSERT INTO chat_words(rowid, body) VALUES(?1, vyr_utf8(?2))")),
          insertAction(P(db, "INSERT INTO actions(player_id, at, kind, admin_user, detail) "
                             "VALUES(?1, ?2, ?3, ?4, ?5)")),
          setNote(P(db, "UPDATE players SET note = ?2 WHERE id = ?1")),
          addToNote(P(db, "UPDATE players SET note = CASE WHEN note = '' THEN ?2 "
                          "ELSE note || char(10) || ?2 END "
                          "WHERE id = ?1 AND instr(char(10) || note || char(10), "
                          "char(10) || ?2 || char(10)) = 0")),
          setFlag(P(db, "UPDATE players SET flag = ?2 WHERE id = ?1")),
          forgetChatWords(
              P(db, "INSERT INTO chat_words(chat_words, rowid, body) "
                    "SELECT 'delete', id, vyr_utf8(text) FROM chat WHERE id BETWEEN ?1 AND ?2")),
          forgetChat(P(db, "DELETE FROM chat WHERE id BETWEEN ?1 AND ?2")),
          forgetSessions(P(db, "DELETE FROM sessions WHERE player_id = ?1")),
          forgetActions(P(db, "DELETE FROM actions WHERE player_id = ?1")),
          forgetBans(P(db, "DELETE FROM bans WHERE server_id = ?1 AND name = ?2 AND state >= 2")),
          forgetPlayer(P(db, "DELETE FROM players WHERE id = ?1")),
          purgeChatWords(P(db, "INSERT INTO chat_words(chat_words, rowid, body) "
                               "SELECT 'delete', id, vyr_utf8(text) FROM chat "
                               "WHERE at < ?1")),
          purgeChat(P(db, "DELETE FROM chat WHERE at < ?1")),
          insertBan(P(db, "INSERT INTO bans(id, server_id, name, address, reason, "
                          "banned_at, expires_at, admin_user) "
                          "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")),
          findBan(P(db, "SELECT server_id, name FROM bans WHERE id = ?1")),
          liftBan(P(db, "UPDATE bans SET state = ?2, lifted_at = ?3 WHERE id = ?1")),
          failBanLift(P(db, "UPDATE bans SET state = 1, lift_failures = lift_failures + 1 "
                            "WHERE id = ?1 AND state <= 1")) {}

    CSqliteStatement P(CSqliteDatabase& db, const char* sql) { return db.Prepare(sql, &status); }

    CSqliteStatement findServer, insertServer, findPlayer, insertPlayer, updatePlayer;
    CSqliteStatement insertConnection, endConnection, heartbeat, staleConnections;
    CSqliteStatement openSessionsOf, insertSession, closeSession;
    CSqliteStatement lastChatId, insertChat, insertChatWords, insertAction, setNote, addToNote;
    CSqliteStatement setFlag;
    CSqliteStatement forgetChatWords, forgetChat, forgetSessions, forgetActions, forgetBans;
    CSqliteStatement forgetPlayer, purgeChatWords, purgeChat;
    CSqliteStatement insertBan, findBan, liftBan, failBanLift;
};

CPlayerWriter::CPlayerWriter(std::string path, int chatRetentionDays)
    : path(std::move(path)), retentionDays(chatRetentionDays) {}

CPlayerWriter::~CPlayerWriter() {
    Close();
}

void CPlayerWriter::Close() {
    statements.reset();
    db.Close();
}

std::vector<std::string> CPlayerWriter::TakeProblems() {
    return std::exchange(problems, {});
}

void CPlayerWriter::Say(const std::string& text) {
    problems.push_back("Player memory: " + text);
}

CPlayerWriter::Outcome CPlayerWriter::Open(std::int64_t now) {
    Close();
    bool retry = false;
    Outcome outcome = OpenOnce(now, retry);
    if (retry) { // a damaged file was moved aside: once more, with a new one
        outcome = OpenOnce(now, retry);
    }
    if (outcome != Outcome::Done) {
        Close();
    }
    return outcome;
}

CPlayerWriter::Outcome CPlayerWriter::OpenOnce(std::int64_t now, bool& retry) {
    retry = false;
    const PreparedFile file = PrepareDatabaseFile(path);
    if (!file.problem.empty()) {
        Say("cannot use " + path + " (" + file.problem + "); nothing is recorded.");
        return Outcome::Unavailable;
    }
    identity = file.identity;
    SqlStatus status = db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
    if (!status.Ok()) {
        Say("cannot open " + path + " (" + status.message + "); nothing is recorded.");
        return Outcome::Unavailable;
    }
    db.SetBusyTimeout(BUSY_TIMEOUT_MS);

    // Identity first, by reading only: a foreign file must not even be switched to WAL.
    const auto& steps = player_schema::Steps();
    SchemaIdentity found;
    status = ReadSchemaIdentity(db, player_schema::APPLICATION_ID, steps.size(), found);
    const auto ours = [&] {
        return found.fit == SchemaFit::Empty || found.fit == SchemaFit::Older ||
               found.fit == SchemaFit::Current;
    };
    if (status.Ok() && ours()) {
        status = SwitchToWal(db);
    }
    if (status.Ok() && ours()) {
        const MigrationResult migration = MigrateSchema(db, player_schema::APPLICATION_ID, steps);
        status = migration.status;
        found = migration.found;
    }
    if (status.Ok() && ours()) {
        db.Exec("PRAGMA synchronous = NORMAL"); // WAL: a crash of the program loses nothing
        status = player_schema::RegisterFunctions(db);
    }
    if (status.Ok() && ours()) {
        // Preparing reads every table's definition, the full-text index's pages among them.
        statements = std::make_unique<Statements>(db);
        status = statements->status;
    }
    if (status.Busy()) {
        return Outcome::Busy;
    }
    if (status.Damaged()) {
        retry = MoveAside(now);
        return Outcome::Unavailable;
    }
    if (!status.Ok()) {
        Say("cannot read " + path + " (" + status.message + "); nothing is recorded.");
        return Outcome::Unavailable;
    }
    if (found.fit == SchemaFit::Foreign) {
        Say(path + " belongs to another program; it was left as it is and nothing is recorded.");
        return Outcome::Unavailable;
    }
    if (found.fit == SchemaFit::Newer) {
        Say(path + " was written by a newer version of this program; it was left as it is and "
                   "nothing is recorded.");
        return Outcome::Unavailable;
    }
    state.staleCheckDue = true;
    return Outcome::Done;
}

bool CPlayerWriter::MoveAside(std::int64_t now) {
    Close();
    const std::string aside = MoveDamagedFileAside(path, identity, now);
    if (aside.empty()) {
        Say(path + " is damaged and could not be moved aside; nothing is recorded.");
        return false;
    }
    ++replacements;
    Say(path + " was damaged; it was moved aside to " + aside + " and a new one was started.");
    return true;
}

CPlayerWriter::Outcome CPlayerWriter::Verify(std::int64_t now) {
    if (!db.IsOpen()) {
        return Outcome::Unavailable;
    }
    CSqliteStatement check = db.Prepare("PRAGMA quick_check");
    const int code = check.Valid() ? check.Step() : db.LastCode();
    const bool sound = code == SQLITE_ROW && check.Text(0) == "ok";
    check = CSqliteStatement();
    const SqlStatus status = db.StatusOf(code);
    if (sound || status.Busy()) {
        return sound ? Outcome::Done : Outcome::Busy;
    }
    const bool hadConnection = !state.connections.empty();
    if (!MoveAside(now)) {
        return Outcome::Unavailable;
    }
    const Outcome reopened = Open(now);
    state.restartDue = hadConnection;
    return reopened;
}

CPlayerWriter::Outcome CPlayerWriter::Apply(const std::vector<record::Item>& items,
                                            std::int64_t now) {
    if (!db.IsOpen()) {
        return Outcome::Unavailable;
    }
    const State saved = state;
    failure = SQLITE_OK;
    batchPlayerIds.clear();
    deltas.clear();
    pendingChat.clear();
    nextChatIds.clear();

    CSqliteTransaction transaction(db);
    SqlStatus status = transaction.Begin();
    if (status.Ok()) {
        if (state.staleCheckDue) {
            EndStaleConnections(now);
        }
        if (state.restartDue) {
            std::map<std::uint64_t, Connection> old = std::move(state.connections);
            state.connections.clear();
            for (const auto& [session, connection] : old) {
                std::vector<std::string> present;
                for (const auto& [name, playerSession] : connection.online) {
                    present.push_back(name);
                }
                StartConnection(session, connection.server, connection.adminUser, present, now);
            }
        }
        state.restartDue = false;
        for (const record::Item& item : items) {
            Apply(item);
        }
        FlushBatch();
        // After the items: a change of the retention among them counts already.
        if (now - state.lastPurgeAt >= DAY_SECONDS) {
            Purge(now);
        }
        for (const auto& [session, connection] : state.connections) {
            if (!connection.interrupted) {
                statements->heartbeat.Bind(1, connection.id).Bind(2, now);
                Run(statements->heartbeat);
            }
        }
        status = Ok() ? transaction.Commit() : db.StatusOf(failure);
    }
    pendingChat.clear(); // it points into `items`
    if (!status.Ok()) {
        return Settle(status, saved, now);
    }
    state.lastCommitAt = now;
    state.staleCheckDue = false;
    return Outcome::Done;
}

// After a failed batch: the state as before it, and what the failure calls for.
CPlayerWriter::Outcome CPlayerWriter::Settle(const SqlStatus& status, const State& saved,
                                             std::int64_t now) {
    state = saved;
    if (status.Busy()) {
        return Outcome::Busy;
    }
    if (status.Damaged()) {
        const bool hadConnection = !state.connections.empty();
        if (!MoveAside(now) || Open(now) != Outcome::Done) {
            return Outcome::Unavailable;
        }
        // The items go again, into the new file, after the connection starts there anew.
        state.restartDue = hadConnection;
        return Outcome::Busy;
    }
    for (auto& [session, connection] : state.connections) {
        connection.interrupted = true;
    }
    Say("writing to " + path + " failed (" + status.message +
        "); recording is paused until the next connection.");
    return Outcome::Failed;
}

bool CPlayerWriter::Run(CSqliteStatement& statement) {
    if (!Ok()) {
        statement.Reset();
        return false;
    }
    const int code = statement.Run();
    if (code != SQLITE_DONE) {
        failure = code;
    }
    return Ok();
}

void CPlayerWriter::Apply(const record::Item& item) {
    currentSession = item.session;
    if (Ok()) {
        std::visit([&](const auto& what) { On(Unboxed(what), item.at); }, item.what);
    }
}

void CPlayerWriter::EndStaleConnections(std::int64_t now) {
    Statements& s = *statements;
    std::vector<std::pair<std::int64_t, std::int64_t>> stale; // id, last heartbeat
    s.staleConnections.Bind(1, now - STALE_CONNECTION_SECONDS);
    int code = SQLITE_ROW;
    while ((code = s.staleConnections.Step()) == SQLITE_ROW) {
        stale.emplace_back(s.staleConnections.Int(0), s.staleConnections.Int(1));
    }
    s.staleConnections.Reset();
    if (code != SQLITE_DONE) {
        failure = code;
        return;
    }
    for (const auto& [connectionId, heartbeatAt] : stale) {
        struct Open {
            std::int64_t id, playerId, joinedAt;
        };
        std::vector<Open> open;
        s.openSessionsOf.Bind(1, connectionId);
        while ((code = s.openSessionsOf.Step()) == SQLITE_ROW) {
            open.push_back(
                {s.openSessionsOf.Int(0), s.openSessionsOf.Int(1), s.openSessionsOf.Int(2)});
        }
        s.openSessionsOf.Reset();
        if (code != SQLITE_DONE) {
            failure = code;
            return;
        }
        for (const Open& session : open) {
            ClosePlayerSession(session.id, session.playerId, session.joinedAt, heartbeatAt,
                               LeaveHow::RecordingLost);
        }
        s.endConnection.Bind(1, connectionId).Bind(2, heartbeatAt);
        Run(s.endConnection);
    }
}

void CPlayerWriter::Purge(std::int64_t now) {
    state.lastPurgeAt = now;
    if (retentionDays <= 0) {
        return;
    }
    const std::int64_t before = now - static_cast<std::int64_t>(retentionDays) * DAY_SECONDS;
    statements->purgeChatWords.Bind(1, before);
    Run(statements->purgeChatWords);
    statements->purgeChat.Bind(1, before);
    Run(statements->purgeChat);
}

std::optional<std::int64_t> CPlayerWriter::ServerId(const ServerKey& server) {
    Statements& s = *statements;
    s.findServer.BindText(1, server.host).Bind(2, server.port);
    const int code = s.findServer.Step();
    const std::optional<std::int64_t> found =
        code == SQLITE_ROW ? std::optional(s.findServer.Int(0)) : std::nullopt;
    s.findServer.Reset();
    if (code != SQLITE_ROW && code != SQLITE_DONE) {
        failure = code;
        return std::nullopt;
    }
    if (found) {
        return found;
    }
    s.insertServer.BindText(1, server.host).Bind(2, server.port);
    if (!Run(s.insertServer)) {
        return std::nullopt;
    }
    return db.LastInsertId();
}

std::optional<std::int64_t> CPlayerWriter::PlayerId(std::int64_t serverId, const std::string& name,
                                                    bool create,
                                                    std::optional<std::int64_t> seenAt) {
    if (!Ok()) {
        return std::nullopt;
    }
    const auto key = std::make_pair(serverId, name);
    if (const auto cached = batchPlayerIds.find(key); cached != batchPlayerIds.end()) {
        return cached->second;
    }
    Statements& s = *statements;
    s.findPlayer.Bind(1, serverId).BindBlob(2, name);
    const int code = s.findPlayer.Step();
    std::optional<std::int64_t> id =
        code == SQLITE_ROW ? std::optional(s.findPlayer.Int(0)) : std::nullopt;
    s.findPlayer.Reset();
    if (code != SQLITE_ROW && code != SQLITE_DONE) {
        failure = code;
        return std::nullopt;
    }
    if (!id && create) {
        s.insertPlayer.Bind(1, serverId).BindBlob(2, name).Bind(3, seenAt);
        if (!Run(s.insertPlayer)) {
            return std::nullopt;
        }
        id = db.LastInsertId();
    }
    if (id) {
        batchPlayerIds.emplace(key, *id);
    }
    return id;
}

CPlayerWriter::Connection* CPlayerWriter::Current() {
    const auto found = state.connections.find(currentSession);
    return found == state.connections.end() || found->second.interrupted ? nullptr : &found->second;
}

// A player of a connection being recorded, seen now.
std::optional<std::int64_t> CPlayerWriter::CurrentPlayerId(const Connection& connection,
                                                           const std::string& name,
                                                           std::int64_t at) {
    const auto id = PlayerId(connection.serverId, name, true, at);
    if (id) {
        Touch(*id, at);
    }
    return id;
}

CPlayerWriter::PlayerDelta& CPlayerWriter::Touch(std::int64_t playerId,
                                                 std::optional<std::int64_t> at) {
    PlayerDelta& delta = deltas[playerId];
    if (at) {
        delta.firstAt = delta.firstAt ? std::min(*delta.firstAt, *at) : *at;
        delta.lastAt = delta.lastAt ? std::max(*delta.lastAt, *at) : *at;
    }
    return delta;
}

void CPlayerWriter::AddChat(std::int64_t playerId, std::int64_t at, int kind,
                            const std::string& text) {
    if (!player_schema::HasChatRange(playerId)) {
        return;
    }
    auto next = nextChatIds.find(playerId);
    if (next == nextChatIds.end()) {
        Statements& s = *statements;
        s.lastChatId.Bind(1, player_schema::FirstChatId(playerId))
            .Bind(2, player_schema::LastChatId(playerId));
        const int code = s.lastChatId.Step();
        const std::optional<std::int64_t> last =
            code == SQLITE_ROW ? s.lastChatId.OptionalInt(0) : std::nullopt;
        s.lastChatId.Reset();
        if (code != SQLITE_ROW) {
            failure = code;
            return;
        }
        next =
            nextChatIds.emplace(playerId, last ? *last + 1 : player_schema::FirstChatId(playerId))
                .first;
    }
    // Four billion lines of one player fill the range; later ones are not kept.
    if (next->second <= player_schema::LastChatId(playerId)) {
        pendingChat.push_back({next->second++, at, kind, &text});
    }
}

void CPlayerWriter::FlushBatch() {
    Statements& s = *statements;
    std::sort(pendingChat.begin(), pendingChat.end(),
              [](const PendingChat& a, const PendingChat& b) { return a.id < b.id; });
    for (const PendingChat& line : pendingChat) {
        s.insertChat.Bind(1, line.id).Bind(2, line.at).Bind(3, line.kind).BindBlob(4, *line.text);
        Run(s.insertChat);
        s.insertChatWords.Bind(1, line.id).BindBlob(2, *line.text);
        Run(s.insertChatWords);
    }
    pendingChat.clear();
    for (const auto& [playerId, d] : deltas) {
        s.updatePlayer.Bind(1, playerId)
            .Bind(2, d.firstAt)
            .Bind(3, d.lastAt)
            .Bind(4, d.sessions)
            .Bind(5, d.playSeconds)
            .Bind(6, d.kills)
            .Bind(7, d.deaths)
            .Bind(8, d.suicides)
            .Bind(9, d.score)
            .Bind(10, d.kicks)
            .Bind(11, d.bans);
        Run(s.updatePlayer);
    }
    deltas.clear();
}

void CPlayerWriter::StartConnection(std::uint64_t session, const ServerKey& server,
                                    const std::string& adminUser,
                                    const std::vector<std::string>& present, std::int64_t at) {
    const auto serverId = ServerId(server);
    if (!serverId) {
        return;
    }
    statements->insertConnection.Bind(1, *serverId).BindText(2, adminUser).Bind(3, at);
    if (!Run(statements->insertConnection)) {
        return;
    }
    Connection& connection = state.connections[session] =
        Connection{db.LastInsertId(), *serverId, server, adminUser, {}, false};
    for (const std::string& name : present) {
        if (!name.empty() && connection.online.count(name) == 0) {
            OpenPlayerSession(connection, name, JoinHow::PresentAtLogin, at);
        }
    }
}

void CPlayerWriter::EndConnection(std::uint64_t session, std::int64_t at, LeaveHow how) {
    const auto found = state.connections.find(session);
    if (found == state.connections.end()) {
        return;
    }
    const Connection& connection = found->second;
    for (const auto& [name, playerSession] : connection.online) {
        ClosePlayerSession(playerSession.sessionId, playerSession.playerId, playerSession.joinedAt,
                           at, how);
    }
    statements->endConnection.Bind(1, connection.id).Bind(2, at);
    Run(statements->endConnection);
    state.connections.erase(found);
}

void CPlayerWriter::OpenPlayerSession(Connection& connection, const std::string& name, JoinHow how,
                                      std::int64_t at) {
    const auto playerId = CurrentPlayerId(connection, name, at);
    if (!playerId) {
        return;
    }
    statements->insertSession.Bind(1, *playerId)
        .Bind(2, connection.id)
        .Bind(3, at)
        .Bind(4, static_cast<std::int64_t>(how));
    if (Run(statements->insertSession)) {
        ++deltas[*playerId].sessions;
        connection.online[name] = OpenSession{db.LastInsertId(), *playerId, at, false};
    }
}

void CPlayerWriter::ClosePlayerSession(std::int64_t sessionId, std::int64_t playerId,
                                       std::int64_t joinedAt, std::int64_t at, LeaveHow how) {
    statements->closeSession.Bind(1, sessionId).Bind(2, at).Bind(3, static_cast<std::int64_t>(how));
    // Another program may have closed it already (a connection it took for dead): the play
    // time was counted then.
    if (Run(statements->closeSession) && db.Changes() == 1) {
        Touch(playerId, at).playSeconds += std::max<std::int64_t>(0, at - joinedAt);
    }
}

void CPlayerWriter::On(const record::SessionStarted& what, std::int64_t at) {
    EndCurrentConnection(at);
    StartConnection(currentSession, what.server, what.adminUser, what.present, at);
}

void CPlayerWriter::EndCurrentConnection(std::int64_t at) {
    const auto found = state.connections.find(currentSession);
    if (found == state.connections.end()) {
        return;
    }
    // After a failed write the connection was last recorded at the last commit.
    if (found->second.interrupted) {
        EndConnection(currentSession, state.lastCommitAt, LeaveHow::RecordingLost);
    } else {
        EndConnection(currentSession, at, LeaveHow::ConnectionEnded);
    }
}

void CPlayerWriter::On(const record::Joined& what, std::int64_t at) {
    // A second player of the same name shares the first one's session.
    Connection* connection = Current();
    if (connection && !what.name.empty() && connection->online.count(what.name) == 0) {
        OpenPlayerSession(*connection, what.name, JoinHow::Joined, at);
    }
}

void CPlayerWriter::On(const record::Left& what, std::int64_t at) {
    Connection* connection = Current();
    if (!connection || what.name.empty()) {
        return;
    }
    auto& online = connection->online;
    const auto session = online.find(what.name);
    if (session == online.end()) {
        CurrentPlayerId(*connection, what.name, at);
        return;
    }
    const OpenSession left = session->second;
    online.erase(session);
    const LeaveHow how =
        what.how == LeaveHow::Kicked && left.bannedHere ? LeaveHow::Banned : what.how;
    ClosePlayerSession(left.sessionId, left.playerId, left.joinedAt, at, how);
}

void CPlayerWriter::On(const record::Died& what, std::int64_t at) {
    const Connection* connection = Current();
    if (!connection) {
        return;
    }
    if (!what.victim.empty()) {
        if (const auto victim = CurrentPlayerId(*connection, what.victim, at)) {
            ++(what.cause == DeathCause::Suicide ? deltas[*victim].suicides
                                                 : deltas[*victim].deaths);
        }
    }
    if (what.cause == DeathCause::Killed && !what.killer.empty()) {
        if (const auto killer = CurrentPlayerId(*connection, what.killer, at)) {
            ++deltas[*killer].kills;
        }
    }
}

void CPlayerWriter::On(const record::Scored& what, std::int64_t at) {
    const Connection* connection = Current();
    if (connection && !what.name.empty()) {
        if (const auto player = CurrentPlayerId(*connection, what.name, at)) {
            deltas[*player].score = what.value;
        }
    }
}

void CPlayerWriter::On(const record::Said& what, std::int64_t at) {
    const Connection* connection = Current();
    if (!connection) {
        return;
    }
    // Lines without a known sender belong to the server's own nameless row.
    const auto player = what.name.empty()
                            ? PlayerId(connection->serverId, what.name, true, std::nullopt)
                            : CurrentPlayerId(*connection, what.name, at);
    if (player) {
        AddChat(*player, at, what.kind, what.text);
    }
}

void CPlayerWriter::On(const record::SessionEnded&, std::int64_t at) {
    EndCurrentConnection(at);
}

void CPlayerWriter::MarkBannedHere(std::int64_t serverId, const std::string& name) {
    for (auto& [session, connection] : state.connections) {
        if (connection.serverId == serverId) {
            if (const auto found = connection.online.find(name); found != connection.online.end()) {
                found->second.bannedHere = true;
            }
        }
    }
}

void CPlayerWriter::AddAction(std::int64_t playerId, std::int64_t at, ActionKind kind,
                              const std::string& adminUser, const std::string& detail) {
    statements->insertAction.Bind(1, playerId)
        .Bind(2, at)
        .Bind(3, static_cast<std::int64_t>(kind))
        .BindText(4, adminUser)
        .BindText(5, detail);
    if (Run(statements->insertAction)) {
        PlayerDelta& delta = Touch(playerId, std::nullopt);
        delta.kicks += kind == ActionKind::Kick;
        delta.bans += kind == ActionKind::Ban;
    }
}

void CPlayerWriter::On(const record::ActionTaken& what, std::int64_t at) {
    const auto serverId = ServerId(what.server);
    const auto player =
        serverId ? PlayerId(*serverId, what.name, true, std::nullopt) : std::nullopt;
    if (player) {
        AddAction(*player, at, what.kind, what.adminUser, what.detail);
        if (what.kind == ActionKind::Ban) {
            MarkBannedHere(*serverId, what.name);
        }
    }
}

void CPlayerWriter::On(const record::NoteSet& what, std::int64_t at) {
    const auto serverId = ServerId(what.server);
    const auto player =
        serverId ? PlayerId(*serverId, what.name, true, std::nullopt) : std::nullopt;
    if (player) {
        CSqliteStatement& change = what.append ? statements->addToNote : statements->setNote;
        change.Bind(1, *player).BindText(2, what.note);
        Run(change);
        AddAction(*player, at, ActionKind::Note, what.adminUser, what.note);
    }
}

void CPlayerWriter::On(const record::FlagSet& what, std::int64_t) {
    const auto serverId = ServerId(what.server);
    const auto player =
        serverId ? PlayerId(*serverId, what.name, true, std::nullopt) : std::nullopt;
    if (player) {
        statements->setFlag.Bind(1, *player).Bind(2, static_cast<std::int64_t>(what.flag));
        Run(statements->setFlag);
    }
}

void CPlayerWriter::On(const record::Forgotten& what, std::int64_t) {
    FlushBatch(); // what this batch gathered for the player goes too
    const auto serverId = ServerId(what.server);
    const auto player =
        serverId ? PlayerId(*serverId, what.name, false, std::nullopt) : std::nullopt;
    if (!player) {
        return;
    }
    Statements& s = *statements;
    if (player_schema::HasChatRange(*player)) {
        s.forgetChatWords.Bind(1, player_schema::FirstChatId(*player))
            .Bind(2, player_schema::LastChatId(*player));
        Run(s.forgetChatWords);
        s.forgetChat.Bind(1, player_schema::FirstChatId(*player))
            .Bind(2, player_schema::LastChatId(*player));
        Run(s.forgetChat);
    }
    s.forgetSessions.Bind(1, *player);
    Run(s.forgetSessions);
    s.forgetActions.Bind(1, *player);
    Run(s.forgetActions);
    // A ban still in force stays until lifted: without it the tool could not lift it.
    s.forgetBans.Bind(1, *serverId).BindBlob(2, what.name);
    Run(s.forgetBans);
    s.forgetPlayer.Bind(1, *player);
    Run(s.forgetPlayer);
    batchPlayerIds.erase({*serverId, what.name});
    nextChatIds.erase(*player);
    for (auto& [session, connection] : state.connections) {
        if (connection.serverId == *serverId) {
            connection.online.erase(what.name);
        }
    }
}

void CPlayerWriter::On(const record::RetentionSet& what, std::int64_t at) {
    retentionDays = what.days;
    FlushBatch();
    Purge(at);
}

void CPlayerWriter::On(const record::BanRecorded& what, std::int64_t at) {
    const BanRequest& ban = what.request;
    const auto serverId = ServerId(ban.server);
    if (!serverId) {
        return;
    }
    Statements& s = *statements;
    s.insertBan.Bind(1, what.id)
        .Bind(2, *serverId)
        .BindBlob(3, ban.name)
        .Bind(6, at)
        .Bind(7, ban.durationSeconds ? std::optional(at + *ban.durationSeconds) : std::nullopt)
        .BindText(5, ban.reason)
        .BindText(8, ban.adminUser);
    if (ban.address) {
        s.insertBan.BindText(4, *ban.address);
    }
    Run(s.insertBan);
    if (const auto player = PlayerId(*serverId, ban.name, true, std::nullopt)) {
        AddAction(*player, at, ActionKind::Ban, ban.adminUser, ban.reason);
        MarkBannedHere(*serverId, ban.name);
    }
}

void CPlayerWriter::On(const record::BanLifted& what, std::int64_t at) {
    Statements& s = *statements;
    s.findBan.Bind(1, what.id);
    const int code = s.findBan.Step();
    std::optional<std::pair<std::int64_t, std::string>> ban;
    if (code == SQLITE_ROW) {
        ban.emplace(s.findBan.Int(0), s.findBan.Blob(1));
    }
    s.findBan.Reset();
    if (code != SQLITE_ROW) {
        if (code != SQLITE_DONE) {
            failure = code;
        }
        return;
    }
    s.liftBan.Bind(1, what.id).Bind(2, static_cast<std::int64_t>(what.how)).Bind(3, at);
    Run(s.liftBan);
    if (const auto player = PlayerId(ban->first, ban->second, true, std::nullopt)) {
        AddAction(*player, at, ActionKind::Unban, what.adminUser, LiftDetail(what.how));
    }
}

void CPlayerWriter::On(const record::BanLiftFailed& what, std::int64_t) {
    statements->failBanLift.Bind(1, what.id);
    Run(statements->failBanLift);
}
