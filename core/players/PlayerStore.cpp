#include "core/players/PlayerStore.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

#include "core/players/PlayerWriter.h"
#include "platform/ConfigPath.h"

namespace {

using namespace std::chrono_literals;

// Events wait at most this long in memory before their commit starts.
constexpr auto COMMIT_INTERVAL = 500ms;
// While connected, a quiet server still gets its connection's heartbeat this often.
constexpr auto HEARTBEAT_INTERVAL = 10s;
// A file another program keeps locked is tried again this often, and waited for this long
// when the store closes.
constexpr auto BUSY_RETRY = 1s;
constexpr auto CLOSING_PATIENCE = 5s;
// A niceness of 10 leaves the writer about a tenth of a core that others want too.
constexpr int WRITER_NICENESS = 10;

bool IsSessionStart(const record::What& what) {
    return std::holds_alternative<record::Boxed<record::SessionStarted>>(what);
}

} // namespace

CPlayerStore::CPlayerStore(PlayerStoreOptions options)
    : options(std::move(options)),
      path(this->options.path.empty() ? DataFilePath("vyr/players.sqlite") : this->options.path),
      banIds(std::random_device{}()), reader(path) {}

CPlayerStore::~CPlayerStore() {
    if (writerThread.joinable()) {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        writerThread.join();
    }
}

std::int64_t CPlayerStore::Now() const {
    if (options.clock) {
        return options.clock();
    }
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void CPlayerStore::Open() {
    if (!writerThread.joinable()) {
        state = StoreState::Opening;
        writerThread = std::thread([this] { WriterLoop(); });
    }
}

bool CPlayerStore::WaitUntilOpen(std::chrono::milliseconds limit) {
    Open();
    std::unique_lock lock(mutex);
    return progress.wait_for(lock, limit, [this] { return state != StoreState::Opening; });
}

void CPlayerStore::Push(record::What what, bool urgentItem, std::uint64_t session) {
    Open();
    const StoreState now = state;
    const bool sessionStart = IsSessionStart(what);
    // Nothing would be written: better not to hold it. A new session tries again. (While
    // paused the writer drops what comes before the next session: only it knows where that
    // starts.)
    if (now == StoreState::Unavailable && !sessionStart) {
        return;
    }
    record::Item item{Now(), std::move(what), session};
    bool first = false;
    {
        std::lock_guard lock(mutex);
        if (queue.size() + writerHolds >= MAX_HELD) {
            ++overflowed;
            return;
        }
        if (sessionStart && state == StoreState::Unavailable) {
            reopenWanted = true;
            state = StoreState::Opening;
        }
        first = queue.empty();
        if (first) {
            batchDeadline = Clock::now() + COMMIT_INTERVAL;
        }
        urgent = urgent || urgentItem;
        queue.push_back(std::move(item));
        ++pushed;
    }
    // One wake-up per batch: the writer sleeps until the batch's deadline anyway.
    if (first || urgentItem) {
        wake.notify_one();
    }
}

void CPlayerStore::StartSession(const ServerKey& server, const std::string& adminUser,
                                std::vector<std::string> present, std::uint64_t session) {
    Push(record::Box(record::SessionStarted{server, adminUser, std::move(present)}), false,
         session);
}

void CPlayerStore::Join(std::string name, std::uint64_t session) {
    Push(record::Joined{std::move(name)}, false, session);
}

void CPlayerStore::Leave(std::string name, LeaveHow how, std::uint64_t session) {
    Push(record::Left{std::move(name), how}, false, session);
}

void CPlayerStore::Death(std::string victim, DeathCause cause, std::string killer,
                         std::uint64_t session) {
    Push(record::Died{std::move(victim), cause, std::move(killer)}, false, session);
}

void CPlayerStore::Score(std::string name, int value, std::uint64_t session) {
    Push(record::Scored{std::move(name), value}, false, session);
}

void CPlayerStore::Chat(std::string name, int kind, std::string text, std::uint64_t session) {
    Push(record::Said{std::move(name), kind, std::move(text)}, false, session);
}

void CPlayerStore::EndSession(std::uint64_t session) {
    Push(record::SessionEnded{}, false, session);
}

void CPlayerStore::RecordAction(const ServerKey& server, std::string name, ActionKind kind,
                                std::string adminUser, std::string detail) {
    Push(record::Box(record::ActionTaken{server, std::move(name), kind, std::move(adminUser),
                                         std::move(detail)}),
         true);
}

void CPlayerStore::SetNote(const ServerKey& server, std::string name, std::string note,
                           std::string adminUser) {
    Push(record::Box(
             record::NoteSet{server, std::move(name), std::move(note), std::move(adminUser)}),
         true);
}

void CPlayerStore::AddToNote(const ServerKey& server, std::string name, std::string line,
                             std::string adminUser) {
    Push(record::Box(
             record::NoteSet{server, std::move(name), std::move(line), std::move(adminUser), true}),
         true);
}

void CPlayerStore::SetFlag(const ServerKey& server, std::string name, PlayerFlag flag) {
    Push(record::Box(record::FlagSet{server, std::move(name), flag}), true);
}

void CPlayerStore::ForgetPlayer(const ServerKey& server, std::string name) {
    Push(record::Box(record::Forgotten{server, std::move(name)}), true);
}

void CPlayerStore::SetChatRetention(int days) {
    Push(record::RetentionSet{days}, true);
}

std::int64_t CPlayerStore::RecordBan(BanRequest ban) {
    // 62 random bits: two programs recording bans on one file never meet.
    std::int64_t id = 0;
    while (id == 0) {
        id = static_cast<std::int64_t>(banIds() >> 2);
    }
    Push(record::Box(record::BanRecorded{id, std::move(ban)}), true);
    return id;
}

void CPlayerStore::MarkBanLifted(std::int64_t id, BanState how, std::string adminUser) {
    Push(record::Box(record::BanLifted{id, how, std::move(adminUser)}), true);
}

void CPlayerStore::MarkBanLiftFailed(std::int64_t id) {
    Push(record::BanLiftFailed{id}, true);
}

bool CPlayerStore::Flush(std::chrono::milliseconds limit) {
    if (!writerThread.joinable()) {
        return true;
    }
    std::unique_lock lock(mutex);
    const std::uint64_t target = pushed;
    urgent = true;
    wake.notify_one();
    return progress.wait_for(lock, limit, [&] { return finished >= target; });
}

std::vector<std::string> CPlayerStore::TakeProblems() {
    std::lock_guard lock(mutex);
    return std::exchange(problems, {});
}

void CPlayerStore::WriterLoop() {
    // Recording is background work: under a flood the event loop and the server's datagrams
    // come first, and the writer catches up in the pauses (the queue holds what waits).
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), WRITER_NICENESS);
    CPlayerWriter writer(path, options.chatRetentionDays);
    std::vector<record::Item> work;  // taken from the queue, not yet written
    std::vector<record::Item> taken; // the queue's last contents, swapped out
    bool opened = false;
    bool openWanted = true; // after a refusal, only a new session tries again
    bool paused = false;
    Clock::time_point retryAt;
    Clock::time_point lastApply = Clock::now();
    std::optional<Clock::time_point> closingSince;

    // What the writer found, for the user; the file's own state is said once only.
    const auto report = [&](bool once) {
        std::vector<std::string> found = writer.TakeProblems();
        std::lock_guard lock(mutex);
        for (std::string& text : found) {
            if (!once || said.insert(text).second) {
                problems.push_back(std::move(text));
            }
        }
        replacements = writer.Replacements();
    };
    const auto setState = [&](StoreState next) {
        {
            std::lock_guard lock(mutex);
            // A session queued meanwhile asked for another try: it stays opening.
            state = next == StoreState::Unavailable && reopenWanted ? StoreState::Opening : next;
        }
        progress.notify_all();
    };
    // Items leave `work` unwritten (paused, no file): they count as done for Flush.
    const auto drop = [&](std::size_t count) {
        work.erase(work.begin(), work.begin() + static_cast<std::ptrdiff_t>(count));
        {
            std::lock_guard lock(mutex);
            finished += count;
            writerHolds -= count;
        }
        progress.notify_all();
    };

    for (;;) {
        bool stop = false;
        bool check = false;
        {
            std::unique_lock lock(mutex);
            const auto due = [&] {
                const Clock::time_point now = Clock::now();
                return stopping || reopenWanted || checkWanted ||
                       (!queue.empty() && (urgent || now >= batchDeadline)) ||
                       (!work.empty() && now >= retryAt) ||
                       (opened && writer.Recording() && now >= lastApply + HEARTBEAT_INTERVAL) ||
                       (!opened && openWanted);
            };
            // The earliest moment something becomes due; nothing at all while idle. Found again
            // at every wake-up: the first item of a batch, pushed meanwhile, brings it forward.
            const auto nextDue = [&] {
                std::optional<Clock::time_point> next;
                const auto consider = [&](Clock::time_point at) {
                    next = next ? std::min(*next, at) : at;
                };
                if (!queue.empty()) {
                    consider(batchDeadline);
                }
                if (!work.empty()) {
                    consider(retryAt);
                }
                if (opened && writer.Recording()) {
                    consider(lastApply + HEARTBEAT_INTERVAL);
                }
                return next;
            };
            while (!due()) {
                if (const std::optional<Clock::time_point> next = nextDue()) {
                    wake.wait_until(lock, *next);
                } else {
                    wake.wait(lock);
                }
            }
            if (std::exchange(reopenWanted, false)) {
                opened = false;
                openWanted = true;
            }
            check = std::exchange(checkWanted, false);
            stop = stopping;
            urgent = false;
            // O(1) under the lock, which the event loop wants for every event: the items
            // are moved (after what a busy file left) once the lock is released.
            taken.swap(queue);
            writerHolds = work.size() + taken.size();
            if (overflowed > 0) {
                problems.push_back("Player memory: events came faster than they could be "
                                   "written; " +
                                   std::to_string(overflowed) + " were not recorded.");
                overflowed = 0;
            }
        }
        if (work.empty()) {
            work.swap(taken);
        } else {
            std::move(taken.begin(), taken.end(), std::back_inserter(work));
            taken.clear();
        }
        const std::int64_t now = Now();

        if (!opened && openWanted) {
            const CPlayerWriter::Outcome outcome = writer.Open(now);
            report(true);
            if (outcome == CPlayerWriter::Outcome::Busy && !stop) {
                retryAt = Clock::now() + BUSY_RETRY;
                std::unique_lock lock(mutex);
                wake.wait_until(lock, retryAt, [&] { return stopping; });
                continue;
            }
            opened = outcome == CPlayerWriter::Outcome::Done;
            openWanted = opened;
            paused = false;
            if (opened) {
                // Connections a crash left open are ended and old chat goes before anyone
                // reads. Busy: it happens with the first batch instead.
                const CPlayerWriter::Outcome first = writer.Apply({}, now);
                report(false);
                lastApply = Clock::now();
                opened = first != CPlayerWriter::Outcome::Unavailable;
                paused = first == CPlayerWriter::Outcome::Failed;
            }
            setState(!opened  ? StoreState::Unavailable
                     : paused ? StoreState::Paused
                              : StoreState::Ready);
        }
        if (!opened) {
            drop(work.size());
            if (stop) {
                return;
            }
            continue;
        }
        if (check) {
            const CPlayerWriter::Outcome outcome = writer.Verify(now);
            report(false);
            if (outcome == CPlayerWriter::Outcome::Unavailable) {
                opened = false;
                openWanted = false;
                setState(StoreState::Unavailable);
                drop(work.size());
                continue;
            }
        }
        if (paused) {
            // Nothing is recorded until a session starts again.
            const auto resume =
                std::find_if(work.begin(), work.end(),
                             [](const record::Item& item) { return IsSessionStart(item.what); });
            drop(static_cast<std::size_t>(resume - work.begin()));
            if (!work.empty()) {
                paused = false;
                setState(StoreState::Ready);
            }
        }

        const bool heartbeatDue =
            writer.Recording() && Clock::now() >= lastApply + HEARTBEAT_INTERVAL;
        if (!work.empty() || heartbeatDue) {
            const std::size_t count = work.size();
            const CPlayerWriter::Outcome outcome = writer.Apply(work, now);
            report(false);
            lastApply = Clock::now();
            switch (outcome) {
            case CPlayerWriter::Outcome::Done:
                drop(count);
                break;
            case CPlayerWriter::Outcome::Busy:
                retryAt = Clock::now() + BUSY_RETRY;
                break;
            case CPlayerWriter::Outcome::Failed:
                paused = true;
                // Events of this session go; the admin's own changes of this batch are lost
                // too, which the message about the failed write covers.
                setState(StoreState::Paused);
                drop(count);
                break;
            case CPlayerWriter::Outcome::Unavailable:
                opened = false;
                openWanted = false;
                setState(StoreState::Unavailable);
                drop(count);
                break;
            }
        }
        if (stop) {
            if (!closingSince) {
                closingSince = Clock::now();
            }
            // A locked file is waited for a little, then what is left is given up.
            if (work.empty() || !opened || Clock::now() >= *closingSince + CLOSING_PATIENCE) {
                return;
            }
        }
    }
}

std::string CPlayerStore::ReadyToRead() {
    Open();
    switch (state.load()) {
    case StoreState::Closed:
    case StoreState::Opening:
        return "the player memory is still opening";
    case StoreState::Unavailable:
        return "the player memory is not available";
    case StoreState::Ready:
    case StoreState::Paused:
        break;
    }
    int current = 0;
    {
        std::lock_guard lock(mutex);
        current = replacements;
    }
    // The file was replaced: the reader's connection still holds the old one.
    if (current != readerReplacements) {
        reader.Close();
        readerReplacements = current;
    }
    return {};
}

template <typename T> StoreRead<T> CPlayerStore::AfterRead(StoreRead<T> read) {
    if (reader.SawDamage()) {
        reader.Close();
        {
            std::lock_guard lock(mutex);
            checkWanted = true;
        }
        wake.notify_one();
    }
    return read;
}

StoreRead<std::vector<std::optional<PlayerRecord>>>
CPlayerStore::Records(const ServerKey& server, const std::vector<std::string>& names) {
    if (std::string error = ReadyToRead(); !error.empty()) {
        return {{}, error};
    }
    return AfterRead(reader.Records(server, names, Now()));
}

StoreRead<std::optional<PlayerRecord>> CPlayerStore::Record(const ServerKey& server,
                                                            const std::string& name) {
    auto records = Records(server, {name});
    StoreRead<std::optional<PlayerRecord>> read;
    read.error = std::move(records.error);
    if (read.Ok() && !records.value.empty()) {
        read.value = std::move(records.value.front());
    }
    return read;
}

StoreRead<std::vector<PlayerSummary>>
CPlayerStore::SearchNames(const ServerKey& server, const std::string& fragment, int limit) {
    if (std::string error = ReadyToRead(); !error.empty()) {
        return {{}, error};
    }
    return AfterRead(reader.SearchNames(server, fragment, limit, Now()));
}

StoreRead<std::vector<PlayerSummary>>
CPlayerStore::SearchChat(const ServerKey& server, const std::string& words, int limit) {
    if (std::string error = ReadyToRead(); !error.empty()) {
        return {{}, error};
    }
    return AfterRead(reader.SearchChat(server, words, limit, Now()));
}

StoreRead<std::optional<PlayerPage>>
CPlayerStore::Page(const ServerKey& server, const std::string& name, const PageQuery& query) {
    if (std::string error = ReadyToRead(); !error.empty()) {
        return {{}, error};
    }
    return AfterRead(reader.Page(server, name, query, Now()));
}

StoreRead<std::vector<BanRecord>> CPlayerStore::Bans(const ServerKey& server) {
    if (std::string error = ReadyToRead(); !error.empty()) {
        return {{}, error};
    }
    return AfterRead(reader.Bans(server));
}

StoreRead<std::vector<BanRecord>> CPlayerStore::BansDue(const ServerKey& server, std::int64_t now) {
    if (std::string error = ReadyToRead(); !error.empty()) {
        return {{}, error};
    }
    return AfterRead(reader.BansDue(server, now));
}

StoreRead<std::optional<BanRecord>> CPlayerStore::BanByAddress(const ServerKey& server,
                                                               const std::string& address) {
    if (std::string error = ReadyToRead(); !error.empty()) {
        return {{}, error};
    }
    return AfterRead(reader.BanByAddress(server, address));
}
