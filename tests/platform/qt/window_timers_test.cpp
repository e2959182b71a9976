#include "platform/WindowTimers.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

constexpr int LIMIT_MS = 5000; // generous: only a broken timer takes this long

// Runs the event loop until done() holds or ms have passed.
bool RunUntil(const std::function<bool()>& done, int ms = LIMIT_MS) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

class Timers : public ::testing::Test {
  protected:
    int Count(unsigned id) const { return int(std::count(ids.begin(), ids.end(), id)); }

    std::vector<unsigned> ids; // of every tick, in order
    std::function<void(unsigned)> also = [](unsigned) {};
    CWindowTimers timers{[this](unsigned id) {
        ids.push_back(id);
        also(id);
    }};
};

} // namespace

TEST_F(Timers, ShortPeriodsRunAtTheMinimumAndSetTimerRestartsOnlyItsOwnId) {
    for (const auto& [asked, effective] :
         std::vector<std::pair<int, int>>{{1, 10}, {0, 10}, {-5, 10}, {10, 10}, {50, 50}}) {
        timers.SetTimer(9, asked);
        EXPECT_EQ(timers.PeriodOf(9), effective) << "asked " << asked;
    }
    timers.KillTimer(9);
    QElapsedTimer clock;
    clock.start();
    timers.SetTimer(1, 1);
    timers.SetTimer(2, 100000);
    timers.SetTimer(3, 100000);
    // Restarted every 20 ms for three periods, a 300 ms timer never gets to tick.
    for (int i = 0; i < 45; ++i) {
        RunUntil([] { return false; }, 20);
        timers.SetTimer(2, 300);
    }
    EXPECT_EQ(Count(2), 0);
    // A 1 ms timer ticks, but never early: at most once per 10 ms.
    EXPECT_GE(Count(1), 2);
    EXPECT_LE(Count(1), clock.elapsed() / CWindowTimers::MIN_PERIOD_MS + 1);

    timers.KillTimer(1);
    EXPECT_FALSE(timers.IsRunning(1));
    const int ones = Count(1);
    EXPECT_TRUE(RunUntil([&] { return Count(2) >= 1; })) << "the new period replaced the old";
    EXPECT_EQ(Count(1), ones);
    EXPECT_EQ(Count(3), 0);
}

TEST_F(Timers, TicksOfTheSameIdArriveInsideItsHandlersNestedLoop) {
    QEventLoop nested;
    int nestedTicks[3] = {};
    also = [&](unsigned id) {
        if (nested.isRunning()) {
            if (++nestedTicks[id] >= 5 && id == 1) {
                nested.quit();
            }
        } else if (id == 1) {
            QTimer::singleShot(LIMIT_MS, &nested, &QEventLoop::quit);
            nested.exec();
        }
    };
    timers.SetTimer(1, 10);
    timers.SetTimer(2, 10);
    ASSERT_TRUE(RunUntil([&] { return nestedTicks[1] >= 5; }));
    EXPECT_GE(nestedTicks[2], 1) << "other ids keep ticking too";
}

TEST_F(Timers, ABlockedThreadLeavesOneTickWaitingWhichKillTimerDrops) {
    constexpr int PERIOD = 20;
    QElapsedTimer clock;
    qint64 releasedAt = -1;
    int soon = 0; // ticks within a period of the release
    // The first handler blocks for fifteen periods, then kills the other timer, whose tick is
    // waiting by then, and arms it anew with a long period.
    also = [&](unsigned id) {
        if (releasedAt >= 0) {
            soon += clock.elapsed() < releasedAt + PERIOD ? 1 : 0;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(15 * PERIOD));
        timers.KillTimer(3 - id);
        timers.SetTimer(3 - id, 100000);
        releasedAt = clock.elapsed();
    };
    clock.start();
    timers.SetTimer(1, PERIOD);
    timers.SetTimer(2, PERIOD);
    // Both come due before the loop runs, so both ticks wait at once.
    std::this_thread::sleep_for(std::chrono::milliseconds(5 * PERIOD));
    ASSERT_TRUE(RunUntil([&] { return ids.size() >= 4; }));
    EXPECT_LE(soon, 1) << "more than one tick waited";
    EXPECT_EQ(Count(ids.front()), static_cast<int>(ids.size())) << "the killed timer ticked";
}
