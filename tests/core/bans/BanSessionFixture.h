#pragma once
// A ban session over a real admin client, the demo server as a child process and a real player
// store file, with both clocks in the test's hands: the UTC clock that bans expire by and the
// steady clock of the session's waits. Datagrams arrive in real time; every wait is bounded.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/bans/BanSession.h"
#include "engine/Timers.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/TempDir.h"

class BanSessionTest : public ::testing::Test {
  protected:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t START = 1'700'000'000;

    void SetUp() override {
        ASSERT_TRUE(server.Start({"--players", "6", "--rate", "0"})) << server.Output();
        key = {"127.0.0.1", server.Port()};
    }

    void TearDown() override {
        session.reset();
        client.reset();
        store.reset();
    }

    CPlayerStore& Store() {
        if (!store) {
            PlayerStoreOptions options;
            options.path = dir.Path() + "/players.sqlite";
            options.clock = [this] { return utc.load(); };
            store = std::make_unique<CPlayerStore>(options);
        }
        return *store;
    }

    // A new client and session (as after a restart of the program), logged in.
    void LogIn() {
        session.reset();
        client.reset();
        client = std::make_unique<CAdminClient>(link, roster);
        session = std::make_unique<CBanSession>(Store(), [this] { return utc.load(); });
        client->onEvent = [this](const ClientEvent& event) { session->Observe(event); };
        session->SessionStarting(key, "tester");
        ASSERT_TRUE(client->Connect("127.0.0.1", server.Port(), "admin", "admin"));
        ASSERT_TRUE(PumpUntil([this] { return client->loggedIn; }));
        // The store opens on its own thread; a front end would find it open a second later.
        ASSERT_TRUE(Store().WaitUntilOpen(std::chrono::seconds(5)));
        session->Connected(now);
        // The login's own list answers before the test goes on.
        ASSERT_TRUE(PumpUntil([this] { return session->ListsReceived() > 0; }));
    }

    void LogOut() {
        client->Disconnect();
        session->Disconnected();
        Pump();
    }

    // One round: the client drains the link, the session steps at the test's time.
    void Pump() {
        client->OnTimer(TIMER_POLL);
        for (BanNotice& notice : session->Step(*client, now)) {
            notices.push_back(std::move(notice.text));
        }
    }

    // Rounds until `done` (true) or 5 s of real time (false).
    bool PumpUntil(const std::function<bool()>& done) {
        const auto limit = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < limit) {
            Pump();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    // Both clocks move on: the UTC clock to `utcNow`, the steady clock by a second, so that
    // the session looks at the store again.
    void MoveTo(std::int64_t utcNow) {
        utc = utcNow;
        now += std::chrono::seconds(1);
    }

    // Rounds for a short real while, long enough for any answer on loopback.
    void Settle() {
        const auto limit = Clock::now() + std::chrono::milliseconds(200);
        while (Clock::now() < limit) {
            Pump();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    bool Said(const std::string& part) const {
        for (const std::string& notice : notices) {
            if (notice.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    int Count(const std::string& part) const {
        int count = 0;
        for (const std::string& notice : notices) {
            count += notice.find(part) != std::string::npos;
        }
        return count;
    }

    bool WaitForNotice(const std::string& part) {
        return PumpUntil([&] { return Said(part); });
    }

    PlayerKey Player(int position) const {
        return {roster.IdByPosition(position), *roster.NameByPosition(position)};
    }

    // Bans the player at `position` and waits until the ban is recorded.
    std::string Ban(int position, std::optional<std::int64_t> seconds,
                    const std::string& reason = "cheating") {
        const PlayerKey player = Player(position);
        RemovalOrder order;
        order.player = player;
        order.reason = reason;
        order.seconds = seconds;
        EXPECT_EQ(session->Remove(order), "");
        // "NAME (": a name may begin another one.
        EXPECT_TRUE(WaitForNotice("Banned " + player.name + " (")) << Notices();
        return player.name;
    }

    std::vector<BanRecord> Recorded() {
        EXPECT_TRUE(Store().Flush());
        const StoreRead<std::vector<BanRecord>> read = Store().Bans(key);
        EXPECT_TRUE(read.Ok()) << read.error;
        return read.value;
    }

    // The server's own log of the /removeip commands it got.
    int RemovalsSeen() {
        Settle();
        const std::string& output = server.Output();
        int count = 0;
        for (std::size_t at = output.find("command: /removeip"); at != std::string::npos;
             at = output.find("command: /removeip", at + 1)) {
            ++count;
        }
        return count;
    }

    std::string Notices() const {
        std::string all;
        for (const std::string& notice : notices) {
            all += notice + '\n';
        }
        return all;
    }

    DemoServerProcess server{VYR_DEMO_SERVER_PATH};
    TempDir dir;
    ServerKey key;
    std::atomic<std::int64_t> utc{START};
    Clock::time_point now = Clock::now();
    CAdminSocket link;
    CPlayerList roster;
    std::unique_ptr<CPlayerStore> store;
    std::unique_ptr<CAdminClient> client;
    std::unique_ptr<CBanSession> session;
    std::vector<std::string> notices;
};
