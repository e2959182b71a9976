#pragma once
// The writing side of the player memory: its own connection, used by one thread (the store's
// writer thread). Opens, checks, upgrades and repairs the file, and applies queued items, each
// batch in one transaction. Plain and synchronous, so tests can drive it step by step.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/players/DatabaseFile.h"
#include "core/players/RecordItems.h"
#include "core/players/SqliteDatabase.h"

class CPlayerWriter {
  public:
    enum class Outcome {
        Done,
        Busy,        // another program holds the lock: nothing written, hand the items again
        Failed,      // a write failed (disk full, I/O error): nothing written, problem said
        Unavailable, // no usable file: problem said
    };

    CPlayerWriter(std::string path, int chatRetentionDays);
    ~CPlayerWriter();
    CPlayerWriter(const CPlayerWriter&) = delete;
    CPlayerWriter& operator=(const CPlayerWriter&) = delete;

    // Makes the file when missing, moves a damaged one aside, refuses a foreign or newer one,
    // upgrades an older one. The first Apply afterwards ends connections left open by a crash
    // and drops chat past the retention.
    Outcome Open(std::int64_t now);
    bool IsOpen() const { return db.IsOpen(); }
    void Close();

    // Checks every page (slow on a large file); a damaged file is moved aside and a new one
    // opened. For when a reader found damage that no write has met.
    Outcome Verify(std::int64_t now);

    // All of `items` in one transaction, or none of them.
    Outcome Apply(const std::vector<record::Item>& items, std::int64_t now);

    // True while a connection is being recorded (it then wants a heartbeat now and then).
    bool Recording() const { return !state.connections.empty(); }
    // Counts the files this writer has moved aside; a reader reopens when it changes.
    int Replacements() const { return replacements; }
    const std::string& Path() const { return path; }

    // Problems found since the last call, each a sentence for the user.
    std::vector<std::string> TakeProblems();

  private:
    struct OpenSession {
        std::int64_t sessionId = 0;
        std::int64_t playerId = 0;
        std::int64_t joinedAt = 0;
        bool bannedHere = false; // this tool banned them during the session
    };
    struct Connection {
        std::int64_t id = 0;
        std::int64_t serverId = 0;
        ServerKey server;
        std::string adminUser;
        std::map<std::string, OpenSession> online;
        // A write failed while recording it: its events are dropped until its session starts
        // again.
        bool interrupted = false;
    };
    // What a failed batch must not change.
    struct State {
        std::map<std::uint64_t, Connection> connections; // by the session that records it
        std::int64_t lastCommitAt = 0;
        bool restartDue = false;   // the file was replaced: the connections start again in it
        bool staleCheckDue = true; // after opening: stale connections end
        std::int64_t lastPurgeAt = 0;
    };
    struct PlayerDelta {
        std::optional<std::int64_t> firstAt, lastAt;
        std::int64_t sessions = 0, playSeconds = 0, kills = 0, deaths = 0, suicides = 0;
        std::int64_t kicks = 0, bans = 0;
        std::optional<std::int64_t> score;
    };
    struct PendingChat {
        std::int64_t id;
        std::int64_t at;
        int kind;
        const std::string* text; // in the items being applied
    };
    struct Statements;

    Outcome OpenOnce(std::int64_t now, bool& retry);
    Outcome Settle(const SqlStatus& status, const State& saved, std::int64_t now);
    bool MoveAside(std::int64_t now);
    void Say(const std::string& text);

    // Steps of a batch: each records the first failure and does nothing after it.
    bool Run(CSqliteStatement& statement);
    bool Ok() const { return failure == SQLITE_OK; }
    void Apply(const record::Item& item);
    void On(const record::SessionStarted& what, std::int64_t at);
    void On(const record::Joined& what, std::int64_t at);
    void On(const record::Left& what, std::int64_t at);
    void On(const record::Died& what, std::int64_t at);
    void On(const record::Scored& what, std::int64_t at);
    void On(const record::Said& what, std::int64_t at);
    void On(const record::SessionEnded& what, std::int64_t at);
    void On(const record::ActionTaken& what, std::int64_t at);
    void On(const record::NoteSet& what, std::int64_t at);
    void On(const record::FlagSet& what, std::int64_t at);
    void On(const record::Forgotten& what, std::int64_t at);
    void On(const record::RetentionSet& what, std::int64_t at);
    void On(const record::BanRecorded& what, std::int64_t at);
    void On(const record::BanLifted& what, std::int64_t at);
    void On(const record::BanLiftFailed& what, std::int64_t at);

    // Connections whose recorder stopped without a goodbye end at their last heartbeat.
    void EndStaleConnections(std::int64_t now);
    void Purge(std::int64_t now);
    // The connection of the session whose event is being applied, unless it was interrupted.
    Connection* Current();
    void StartConnection(std::uint64_t session, const ServerKey& server,
                         const std::string& adminUser, const std::vector<std::string>& present,
                         std::int64_t at);
    void EndConnection(std::uint64_t session, std::int64_t at, LeaveHow how);
    void EndCurrentConnection(std::int64_t at);
    void OpenPlayerSession(Connection& connection, const std::string& name, JoinHow how,
                           std::int64_t at);
    void ClosePlayerSession(std::int64_t sessionId, std::int64_t playerId, std::int64_t joinedAt,
                            std::int64_t at, LeaveHow how);
    void MarkBannedHere(std::int64_t serverId, const std::string& name);
    void AddAction(std::int64_t playerId, std::int64_t at, ActionKind kind,
                   const std::string& adminUser, const std::string& detail);
    std::optional<std::int64_t> ServerId(const ServerKey& server);
    // The player's row id, made when missing if `create`; `seenAt` is the first sighting then.
    std::optional<std::int64_t> PlayerId(std::int64_t serverId, const std::string& name,
                                         bool create, std::optional<std::int64_t> seenAt);
    std::optional<std::int64_t> CurrentPlayerId(const Connection& connection,
                                                const std::string& name, std::int64_t at);
    PlayerDelta& Touch(std::int64_t playerId, std::optional<std::int64_t> at);
    void AddChat(std::int64_t playerId, std::int64_t at, int kind, const std::string& text);
    // Writes what the batch gathered so far: chat lines in id order (the full-text index
    // appends in order, instead of starting a new segment for each line that goes back), then
    // the players' counters.
    void FlushBatch();

    std::string path;
    int retentionDays;
    CSqliteDatabase db;
    std::unique_ptr<Statements> statements;
    FileIdentity identity;
    int replacements = 0;
    std::vector<std::string> problems;

    State state;
    std::uint64_t currentSession = 0; // of the item being applied
    int failure = SQLITE_OK;
    std::map<std::pair<std::int64_t, std::string>, std::int64_t> batchPlayerIds;
    std::unordered_map<std::int64_t, PlayerDelta> deltas;
    std::vector<PendingChat> pendingChat;
    std::unordered_map<std::int64_t, std::int64_t> nextChatIds;
};
