#pragma once
// A private folder for each test's database file, a clock the test moves by hand, and a plain
// SQLite connection to look into the file behind the store's back.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "core/players/PlayerStore.h"
#include "core/players/SqliteDatabase.h"

class PlayerStoreTest : public ::testing::Test {
  protected:
    static constexpr std::int64_t START = 1'700'000'000; // 2023-11-14, a Tuesday

    void SetUp() override {
        char pattern[] = "/tmp/vyr-players-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        path = dir + "/data/vyr/players.sqlite";
    }

    void TearDown() override {
        store.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    PlayerStoreOptions Options() {
        PlayerStoreOptions options;
        options.path = path;
        options.clock = [this] { return now.load(); };
        return options;
    }

    CPlayerStore& Store() {
        if (!store) {
            store = std::make_unique<CPlayerStore>(Options());
        }
        return *store;
    }

    void Reopen() {
        store.reset();
        Store();
    }

    // Everything queued is in the file.
    void Flush() { ASSERT_TRUE(Store().Flush()); }

    std::optional<PlayerRecord> RecordOf(const std::string& name) {
        const auto read = Store().Record(server, name);
        EXPECT_TRUE(read.Ok()) << read.error;
        return read.value;
    }

    PlayerPage PageOf(const std::string& name, const PageQuery& query = {}) {
        const auto read = Store().Page(server, name, query);
        EXPECT_TRUE(read.Ok()) << read.error;
        EXPECT_TRUE(read.value.has_value()) << name;
        return read.value.value_or(PlayerPage{});
    }

    // The first column of the first row, through a connection of the test's own.
    std::int64_t Count(const char* sql) {
        CSqliteDatabase db;
        EXPECT_TRUE(db.Open(path, SQLITE_OPEN_READONLY).Ok());
        SqlStatus status;
        const auto value = db.QueryInt(sql, &status);
        EXPECT_TRUE(status.Ok()) << sql << ": " << status.message;
        return value.value_or(-1);
    }

    std::string dir;
    std::string path;
    std::atomic<std::int64_t> now{START};
    const ServerKey server{"game.example.org", 27960};
    std::unique_ptr<CPlayerStore> store;
};

// Runs `body` in a child process and gives its exit status (-1: it did not exit normally).
// The child ends with _exit, so nothing of the test runner runs twice.
template <typename Body> int ExitStatusOfChild(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}
