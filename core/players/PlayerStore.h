#pragma once
// The player memory: who played on which server, what they said and what this tool did, kept
// in one SQLite file ($XDG_DATA_HOME/vyr/players.sqlite by default).
//
// Recording never waits: each call appends to a queue in memory that a writer thread (with its
// own connection) commits in one transaction at least every half second, and on Flush and at
// the end. Reading is synchronous on the caller's thread, through a connection of its own that
// reads beside the writer (WAL). Call everything from one thread, the front end's; the file is
// opened on the writer thread at the first call, so a front end's start never waits on it.
//
// Nothing here stops a session: a file that cannot be used means no recording, a failed write
// pauses recording until the next session. Each problem is said once, through TakeProblems.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/players/PlayerReader.h"
#include "core/players/PlayerRecords.h"
#include "core/players/RecordItems.h"

struct PlayerStoreOptions {
    std::string path;           // empty: DataFilePath("vyr/players.sqlite")
    int chatRetentionDays = 90; // chat lines older than this are deleted; 0 keeps them
    // Unix seconds; empty: the system clock. Called from the writer thread too.
    std::function<std::int64_t()> clock;
};

enum class StoreState {
    Closed,      // nothing asked of it yet
    Opening,     // the writer thread is opening the file (or waiting for another program)
    Ready,       // recording and reading
    Paused,      // a write failed: reading, but nothing recorded until the next session
    Unavailable, // no usable file: nothing recorded or read (TakeProblems says why)
};

class CPlayerStore {
  public:
    explicit CPlayerStore(PlayerStoreOptions options = {});
    // Commits what is queued (waiting at most a few seconds for a locked file) and closes.
    ~CPlayerStore();
    CPlayerStore(const CPlayerStore&) = delete;
    CPlayerStore& operator=(const CPlayerStore&) = delete;

    // Starts opening the file on the writer thread; returns at once. Every other call does
    // this too.
    void Open();
    StoreState State() const { return state; }
    // For a one-shot front end (vyr-cli --seen): waits until the file is open or refused.
    bool WaitUntilOpen(std::chrono::milliseconds limit);
    const std::string& Path() const { return path; }

    // --- recording: the events of admin sessions, each in the order they happened ---
    // Several sessions record side by side (the pages of a window), each under the number
    // NewSession gave it; a front end with one session at a time may leave it at 0.
    std::uint64_t NewSession() { return ++sessionsMade; }
    // A session on `server`, with the players `present` at login (their sessions start now).
    void StartSession(const ServerKey& server, const std::string& adminUser,
                      std::vector<std::string> present, std::uint64_t session = 0);
    void Join(std::string name, std::uint64_t session = 0);
    void Leave(std::string name, LeaveHow how, std::uint64_t session = 0);
    void Death(std::string victim, DeathCause cause, std::string killer = {},
               std::uint64_t session = 0);
    void Score(std::string name, int value, std::uint64_t session = 0);
    // `name` empty: a line of the server itself, or of a sender no one knew.
    void Chat(std::string name, int kind, std::string text, std::uint64_t session = 0);
    void EndSession(std::uint64_t session = 0);

    // --- what the admin does; these are written at once, not after the half second ---
    // A kick or ban this tool sent (a ban with its record goes through RecordBan instead).
    void RecordAction(const ServerKey& server, std::string name, ActionKind kind,
                      std::string adminUser, std::string detail);
    void SetNote(const ServerKey& server, std::string name, std::string note,
                 std::string adminUser);
    // Adds `line` at the end of the note, on a line of its own, unless the note holds it
    // already: what automation notes on a player never replaces what the admin wrote.
    void AddToNote(const ServerKey& server, std::string name, std::string line,
                   std::string adminUser);
    void SetFlag(const ServerKey& server, std::string name, PlayerFlag flag);
    // Deletes the player's rows on the server: sessions, chat, actions, note and flag, and bans
    // already lifted. A ban still in force stays until lifted, or it could never be lifted.
    void ForgetPlayer(const ServerKey& server, std::string name);
    // Deletes chat lines older than `days` now and once a day from then on; 0 keeps them.
    void SetChatRetention(int days);

    // Bans: the record's id, made here so that the caller has it before it is written.
    std::int64_t RecordBan(BanRequest ban);
    // Lifted at expiry, by the admin, or elsewhere (gone from the server's list); the lift
    // goes into the player's history.
    void MarkBanLifted(std::int64_t id, BanState how, std::string adminUser);
    // The lift failed: the ban waits for the next login to be tried again.
    void MarkBanLiftFailed(std::int64_t id);

    // Waits until everything queued so far is written (or dropped while paused or unusable).
    // False when the time ran out first, a locked file for instance. For tests and the end of
    // one-shot front ends: a window never calls it on its event loop.
    bool Flush(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // Sentences for the user, each said once.
    std::vector<std::string> TakeProblems();

    // Events held in memory at most, waiting for the file (locked for long under a flood):
    // about 22 MiB. Past it events are dropped, and the user told how many.
    static constexpr std::size_t MAX_HELD = 250000;

    // --- reading: synchronous; an error (busy, not open yet, unavailable) instead of data ---
    StoreRead<std::vector<std::optional<PlayerRecord>>>
    Records(const ServerKey& server, const std::vector<std::string>& names);
    StoreRead<std::optional<PlayerRecord>> Record(const ServerKey& server, const std::string& name);
    StoreRead<std::vector<PlayerSummary>> SearchNames(const ServerKey& server,
                                                      const std::string& fragment, int limit = 500);
    StoreRead<std::vector<PlayerSummary>> SearchChat(const ServerKey& server,
                                                     const std::string& words, int limit = 500);
    StoreRead<std::optional<PlayerPage>> Page(const ServerKey& server, const std::string& name,
                                              const PageQuery& query = {});
    StoreRead<std::vector<BanRecord>> Bans(const ServerKey& server);
    StoreRead<std::vector<BanRecord>> BansDue(const ServerKey& server, std::int64_t now);
    StoreRead<std::optional<BanRecord>> BanByAddress(const ServerKey& server,
                                                     const std::string& address);

  private:
    using Clock = std::chrono::steady_clock;

    std::int64_t Now() const;
    void Push(record::What what, bool urgent, std::uint64_t session = 0);
    void WriterLoop();
    // Empty when the reader may read now, else why not.
    std::string ReadyToRead();
    template <typename T> StoreRead<T> AfterRead(StoreRead<T> read);

    const PlayerStoreOptions options;
    const std::string path;
    std::atomic<StoreState> state{StoreState::Closed};
    std::thread writerThread;
    std::mt19937_64 banIds;
    std::uint64_t sessionsMade = 0;

    std::mutex mutex;                 // guards everything below up to the reader
    std::condition_variable wake;     // the writer thread's
    std::condition_variable progress; // Flush's and WaitUntilOpen's
    std::vector<record::Item> queue;
    std::uint64_t pushed = 0;   // items ever queued
    std::uint64_t finished = 0; // items written or dropped
    std::uint64_t overflowed = 0;
    std::size_t writerHolds = 0; // items the writer has taken and not yet written
    Clock::time_point batchDeadline;
    bool urgent = false;
    bool stopping = false;
    bool reopenWanted = false;
    bool checkWanted = false;
    int replacements = 0;
    std::vector<std::string> problems;
    std::set<std::string> said;

    CPlayerReader reader; // the caller's thread only
    int readerReplacements = 0;
};
