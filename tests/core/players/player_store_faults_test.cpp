// The store against files and neighbours that go wrong: damaged, foreign, newer, locked, not a
// file at all, a full disk, a killed recorder, and a second program on the same file. Each
// case is a real file or a real process; none may stop recording for good or lose the user's
// data without a word.

#include <gmock/gmock.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/WholeFile.h"
#include "tests/core/players/PlayerStoreFixture.h"

namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::SizeIs;

std::string Bytes(const std::string& path) {
    return ReadWholeFile(path, 1 << 26).bytes;
}

void Overwrite(const std::string& path, std::size_t from, std::size_t count) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(from));
    file << std::string(count, '\xab');
}

// Makes `sql` the whole of a new database file at `path`.
void MakeDatabase(const std::string& path, const char* sql) {
    ASSERT_TRUE(MakePrivateDirectories(std::filesystem::path(path).parent_path()));
    CSqliteDatabase db;
    ASSERT_TRUE(db.Open(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE).Ok());
    ASSERT_TRUE(db.Exec(sql).Ok()) << sql;
}

class PlayerStoreFaultTest : public PlayerStoreTest {
  protected:
    // A file with one recorded line, closed.
    void MakeRecordedFile() {
        Store().StartSession(server, "admin", {"Ann"});
        Store().Chat("Ann", 0, "kept safe");
        Store().EndSession();
        Flush();
        store.reset();
    }

    std::vector<std::string> FilesAside() {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir + "/data/vyr")) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("players.sqlite.corrupt-", 0) == 0) {
                found.push_back(entry.path().string());
            }
        }
        return found;
    }

    // A session and a line recorded and read back: the store works.
    void ExpectRecording() {
        Store().StartSession(server, "admin", {"Bob"});
        Store().Chat("Bob", 0, "still recording");
        Flush();
        const auto page = Store().Page(server, "Bob");
        ASSERT_TRUE(page.Ok()) << page.error;
        ASSERT_TRUE(page.value.has_value());
        ASSERT_THAT(page.value->chat, SizeIs(1));
        EXPECT_EQ(page.value->chat[0].text, "still recording");
    }
};

TEST_F(PlayerStoreFaultTest, DamagedFileIsMovedAsideOnceAndANewOneStarted) {
    // Garbage over the header (no database at all), and over every page but the first (the
    // schema reads well, the tables do not).
    const std::vector<std::pair<std::size_t, std::size_t>> damages = {{0, 512}, {4096, 1 << 20}};
    for (const auto& [from, count] : damages) {
        SCOPED_TRACE(from);
        MakeRecordedFile();
        Overwrite(path, from, count);
        const std::string damaged = Bytes(path);

        ASSERT_TRUE(Store().WaitUntilOpen(10s));
        ExpectRecording();
        EXPECT_EQ(Store().State(), StoreState::Ready);
        const auto problems = Store().TakeProblems();
        ASSERT_THAT(problems, SizeIs(1));
        EXPECT_THAT(problems[0], HasSubstr("moved aside"));
        const auto aside = FilesAside();
        ASSERT_THAT(aside, SizeIs(1));
        EXPECT_THAT(problems[0], HasSubstr(aside[0]));
        EXPECT_EQ(Bytes(aside[0]), damaged); // the user's file, kept as it was
        store.reset();
        std::filesystem::remove(aside[0]);
        std::filesystem::remove(path);
    }
}

TEST_F(PlayerStoreFaultTest, ForeignAndNewerFilesAreLeftUntouchedAndSaidOnce) {
    const std::pair<const char*, const char*> files[] = {
        {"CREATE TABLE invoices(id INTEGER PRIMARY KEY, total REAL);"
         "INSERT INTO invoices VALUES(1, 9.5);",
         "another program"},
        {"CREATE TABLE players(name TEXT);", "another program"},
        {"PRAGMA application_id = 42;", "another program"},
        {"PRAGMA application_id = 1450799696; PRAGMA user_version = 99;"
         "CREATE TABLE future(x);",
         "newer version"},
    };
    for (const auto& [sql, said] : files) {
        SCOPED_TRACE(sql);
        MakeDatabase(path, sql);
        const std::string before = Bytes(path);

        Store().StartSession(server, "admin", {"Ann"});
        Store().Chat("Ann", 0, "not recorded");
        ASSERT_TRUE(Store().WaitUntilOpen(10s));
        EXPECT_TRUE(Store().Flush());
        EXPECT_EQ(Store().State(), StoreState::Unavailable);
        EXPECT_FALSE(Store().Record(server, "Ann").Ok());
        const auto problems = Store().TakeProblems();
        ASSERT_THAT(problems, SizeIs(1));
        EXPECT_THAT(problems[0], HasSubstr(said));
        // A new session tries again, and says nothing new.
        Store().StartSession(server, "admin", {});
        ASSERT_TRUE(Store().WaitUntilOpen(10s));
        EXPECT_TRUE(Store().Flush());
        EXPECT_THAT(Store().TakeProblems(), SizeIs(0));

        store.reset();
        EXPECT_EQ(Bytes(path), before);
        EXPECT_FALSE(std::filesystem::exists(path + "-wal"));
        std::filesystem::remove(path);
    }
}

TEST_F(PlayerStoreFaultTest, PathThatIsNoRegularFileIsRefusedWithoutWaiting) {
    ASSERT_TRUE(MakePrivateDirectories(dir + "/data/vyr"));
    const std::pair<const char*, std::function<int()>> kinds[] = {
        {"FIFO", [&] { return ::mkfifo(path.c_str(), 0600); }},
        {"folder", [&] { return ::mkdir(path.c_str(), 0700); }},
    };
    for (const auto& [kind, make] : kinds) {
        SCOPED_TRACE(kind);
        ASSERT_EQ(make(), 0);
        Store().StartSession(server, "admin", {"Ann"});
        ASSERT_TRUE(Store().WaitUntilOpen(10s)); // a blocking open of the FIFO would hang here
        EXPECT_EQ(Store().State(), StoreState::Unavailable);
        const auto problems = Store().TakeProblems();
        ASSERT_THAT(problems, SizeIs(1));
        EXPECT_THAT(problems[0], HasSubstr("not a regular file"));
        store.reset();
        std::filesystem::remove(path);
    }
}

TEST_F(PlayerStoreFaultTest, LockedFileIsWaitedForAndNothingIsLost) {
    MakeRecordedFile();
    // Held before the store opens: in exclusive locking mode, which keeps even readers out.
    // Then while it records: a plain exclusive transaction, which WAL readers read beside.
    for (const bool beforeOpening : {true, false}) {
        SCOPED_TRACE(beforeOpening);
        if (!beforeOpening) {
            ASSERT_TRUE(Store().WaitUntilOpen(10s));
        }
        CSqliteDatabase locker;
        ASSERT_TRUE(locker.Open(path, SQLITE_OPEN_READWRITE).Ok());
        locker.SetBusyTimeout(5000);
        const SqlStatus locked =
            locker.Exec(beforeOpening ? "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE;"
                                        "UPDATE servers SET port = port"
                                      : "BEGIN EXCLUSIVE; UPDATE servers SET port = port");
        ASSERT_TRUE(locked.Ok()) << locked.message;

        Store().StartSession(server, "admin", {"Ann"});
        for (int i = 0; i < 100; ++i) {
            Store().Chat("Ann", 0, "line " + std::to_string(i));
        }
        EXPECT_FALSE(Store().Flush(1500ms)); // longer than a busy time-out and a retry
        EXPECT_EQ(Store().Record(server, "Ann").Ok(), !beforeOpening);
        EXPECT_THAT(Store().TakeProblems(), SizeIs(0));

        locker.Close();
        Flush();
        EXPECT_THAT(Store().TakeProblems(), SizeIs(0));
        EXPECT_EQ(Store().State(), StoreState::Ready);
        EXPECT_EQ(PageOf("Ann").chatTotal, beforeOpening ? 101 : 201);
    }
}

TEST_F(PlayerStoreFaultTest, WhatALongLockHoldsUpIsBoundedAndTheRestCounted) {
    ASSERT_TRUE(Store().WaitUntilOpen(10s));
    Store().StartSession(server, "admin", {"Ann"});
    Flush();
    CSqliteDatabase locker;
    ASSERT_TRUE(locker.Open(path, SQLITE_OPEN_READWRITE).Ok());
    ASSERT_TRUE(locker.Exec("BEGIN EXCLUSIVE; UPDATE servers SET port = port").Ok());
    constexpr std::size_t EXTRA = 25;
    constexpr std::size_t SENT = CPlayerStore::MAX_HELD + EXTRA;
    for (std::size_t i = 0; i < SENT; ++i) {
        Store().Chat("Ann", 0, "gg");
    }
    EXPECT_FALSE(Store().Flush(1500ms));
    locker.Close();
    ASSERT_TRUE(Store().Flush(std::chrono::minutes(2)));
    const auto problems = Store().TakeProblems();
    ASSERT_THAT(problems, SizeIs(1));
    EXPECT_THAT(problems[0], HasSubstr(std::to_string(EXTRA) + " were not recorded"));
    EXPECT_EQ(PageOf("Ann").chatTotal, static_cast<std::int64_t>(SENT - EXTRA));
}

TEST_F(PlayerStoreFaultTest, FullDiskPausesRecordingUntilTheNextSession) {
    MakeRecordedFile();
    // In a child: the file size limit is the process's, and lowering it is for good.
    const int status = ExitStatusOfChild([&] {
        const auto fail = [](int line) {
            std::fprintf(stderr, "disk-full child: check at line %d failed\n", line);
            return 1;
        };
#define CHILD_CHECK(condition)                                                                     \
    if (!(condition))                                                                              \
    return fail(__LINE__)
        std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead of killing us
        CPlayerStore child(Options());
        child.StartSession(server, "admin", {"Ann"});
        CHILD_CHECK(child.Flush());
        rlimit old{};
        ::getrlimit(RLIMIT_FSIZE, &old);
        struct stat info {};
        ::stat((path + "-wal").c_str(), &info);
        const rlimit low{static_cast<rlim_t>(info.st_size) + 64 * 1024, old.rlim_max};
        CHILD_CHECK(::setrlimit(RLIMIT_FSIZE, &low) == 0);

        const std::string line(200, 'x');
        for (int i = 0; i < 5000; ++i) {
            child.Chat("Ann", 0, line);
        }
        CHILD_CHECK(child.Flush());
        auto problems = child.TakeProblems();
        CHILD_CHECK(problems.size() == 1);
        CHILD_CHECK(problems[0].find("paused until the next connection") != std::string::npos);
        CHILD_CHECK(child.State() == StoreState::Paused);
        child.Chat("Ann", 0, "dropped while paused");
        CHILD_CHECK(child.Flush());
        CHILD_CHECK(child.TakeProblems().empty());
        CHILD_CHECK(child.Record(server, "Ann").Ok()); // reading goes on

        CHILD_CHECK(::setrlimit(RLIMIT_FSIZE, &old) == 0);
        child.StartSession(server, "admin", {"Ann"});
        child.Chat("Ann", 0, "after the pause");
        CHILD_CHECK(child.Flush());
        CHILD_CHECK(child.TakeProblems().empty());
        CHILD_CHECK(child.State() == StoreState::Ready);
        const auto page = child.Page(server, "Ann");
        CHILD_CHECK(page.Ok() && page.value && page.value->chatTotal == 2);
        CHILD_CHECK(page.value->chat[0].text == "after the pause");
#undef CHILD_CHECK
        return 0;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(PlayerStoreFaultTest, KilledRecorderKeepsWhatWasCommittedAndItsSessionsEndAtItsLastSign) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        std::atomic<std::int64_t> childNow{START};
        PlayerStoreOptions options = Options();
        options.clock = [&childNow] { return childNow.load(); };
        CPlayerStore recorder(options);
        recorder.StartSession(server, "admin", {"Ann"});
        childNow = START + 30;
        recorder.Chat("Ann", 0, "said before the kill"); // no Flush: the writer commits it
        if (::write(ready[1], "q", 1) != 1) {
            ::_exit(1);
        }
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char queued = 0;
    ASSERT_EQ(::read(ready[0], &queued, 1), 1);
    ::close(ready[0]);
    // The line reaches the file within the commit interval; bounded generously.
    std::int64_t lines = 0;
    for (int i = 0; i < 200 && lines == 0; ++i) {
        std::this_thread::sleep_for(50ms);
        CSqliteDatabase db;
        if (db.Open(path, SQLITE_OPEN_READONLY).Ok()) {
            lines = db.QueryInt("SELECT count(*) FROM chat").value_or(0);
        }
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(lines, 1);

    now = START + 3600; // long after: the dead recorder's connection is stale
    ASSERT_TRUE(Store().WaitUntilOpen(10s));
    const PlayerPage page = PageOf("Ann");
    EXPECT_EQ(page.record.playSeconds, 30);
    EXPECT_EQ(page.record.lastSeen, START + 30);
    EXPECT_FALSE(page.record.onlineSince);
    ASSERT_THAT(page.sessions, SizeIs(1));
    EXPECT_EQ(page.sessions[0].howLeft, LeaveHow::RecordingLost);
    EXPECT_EQ(page.sessions[0].leftAt, START + 30);
    ASSERT_THAT(page.chat, SizeIs(1));
}

TEST_F(PlayerStoreFaultTest, TwoProgramsRecordIntoOneFileSideBySide) {
    MakeRecordedFile();
    const ServerKey otherServer{"second.example.org", 27961};
    constexpr int LINES = 2000;
    // Many small transactions on each side, so that they meet on the lock.
    const auto record = [&](CPlayerStore& s, const ServerKey& where) {
        s.StartSession(where, "admin", {"Ann"});
        for (int i = 0; i < LINES; ++i) {
            s.Chat("Ann", 0, "line " + std::to_string(i));
            if (i % 50 == 0 && !s.Flush()) {
                return false;
            }
        }
        return s.Flush() && s.TakeProblems().empty();
    };
    const pid_t child = ::fork();
    if (child == 0) {
        CPlayerStore second(Options());
        ::_exit(record(second, otherServer) ? 0 : 1);
    }
    const bool recorded = record(Store(), server);
    int status = -1;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(recorded);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(PageOf("Ann").chatTotal, LINES + 1);
    const auto other = Store().Page(otherServer, "Ann");
    ASSERT_TRUE(other.value.has_value()) << other.error;
    EXPECT_EQ(other.value->chatTotal, LINES);
}

} // namespace
