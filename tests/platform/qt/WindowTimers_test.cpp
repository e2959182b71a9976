#include "platform/WindowTimers.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

constexpr int LIMIT_MS = 5000; // generous: only a broken timer takes this long

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool RunUntil(const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < LIMIT_MS) {
        RunFor(5);
    }
    return done();
}

// Every tick with the time it arrived, in ms since the recorder was made.
struct Recorder {
    struct Tick {
        unsigned id;
        qint64 atMs;
    };
    QElapsedTimer clock;
    std::vector<Tick> ticks;
    std::function<void(unsigned)> also = [](unsigned) {};

    Recorder() { clock.start(); }
    CWindowTimers::TickHandler Handler() {
        return [this](unsigned id) {
            ticks.push_back({id, clock.elapsed()});
            also(id);
        };
    }
    int Count(unsigned id) const {
        int n = 0;
        for (const Tick& t : ticks) {
            n += t.id == id ? 1 : 0;
        }
        return n;
    }
};

} // namespace

TEST(WindowTimers, PeriodBelowTheMinimumRunsAtTheMinimum) {
    Recorder rec;
    CWindowTimers timers(rec.Handler());
    const std::vector<std::pair<int, int>> cases = {{1, 10}, {0, 10}, {-5, 10}, {10, 10}, {50, 50}};
    unsigned id = 1;
    for (const auto& [asked, effective] : cases) {
        timers.SetTimer(id, asked);
        EXPECT_TRUE(timers.IsRunning(id));
        EXPECT_EQ(timers.PeriodOf(id), effective) << "asked " << asked;
        timers.KillTimer(id++);
    }
    EXPECT_EQ(timers.PeriodOf(77), 0);

    // A 1 ms timer must not spin: ticks never come early, so at most one per 10 ms.
    QElapsedTimer clock;
    clock.start();
    timers.SetTimer(1225, 1);
    RunFor(300);
    timers.KillTimer(1225);
    EXPECT_GE(rec.Count(1225), 1);
    EXPECT_LE(rec.Count(1225), clock.elapsed() / CWindowTimers::MIN_PERIOD_MS + 1);
}

TEST(WindowTimers, SetTimerOnARunningIdRestartsIt) {
    Recorder rec;
    CWindowTimers timers(rec.Handler());

    timers.SetTimer(1, 100000);
    timers.SetTimer(1, 20);
    EXPECT_EQ(timers.PeriodOf(1), 20);
    EXPECT_TRUE(RunUntil([&] { return rec.Count(1) >= 2; }));

    // Restarted every 20 ms for three periods, a 300 ms timer never gets to tick.
    timers.SetTimer(2, 300);
    for (int i = 0; i < 45; ++i) {
        RunFor(20);
        timers.SetTimer(2, 300);
    }
    EXPECT_EQ(rec.Count(2), 0);
    EXPECT_TRUE(RunUntil([&] { return rec.Count(2) >= 1; }));
}

TEST(WindowTimers, KillTimerStopsTheTimerAndDropsItsWaitingTick) {
    Recorder rec;
    CWindowTimers timers(rec.Handler());
    timers.KillTimer(5); // not running: nothing happens

    timers.SetTimer(1, 10);
    ASSERT_TRUE(RunUntil([&] { return rec.Count(1) >= 2; }));
    timers.KillTimer(1);
    EXPECT_FALSE(timers.IsRunning(1));
    const int before = rec.Count(1);
    RunFor(200);
    EXPECT_EQ(rec.Count(1), before);

    timers.SetTimer(1, 10);
    EXPECT_TRUE(RunUntil([&] { return rec.Count(1) > before; }));
    timers.KillTimer(1);

    // Both timers come due while the thread is busy, so both ticks wait at once. The first
    // handler kills the other timer and arms it anew with a long period: the killed timer's
    // waiting tick must never arrive.
    rec.ticks.clear();
    rec.also = [&](unsigned id) {
        if (rec.ticks.size() == 1) {
            const unsigned other = id == 2 ? 3 : 2;
            timers.KillTimer(other);
            timers.SetTimer(other, 100000);
        }
    };
    timers.SetTimer(2, 10);
    timers.SetTimer(3, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(RunUntil([&] { return rec.ticks.size() >= 3; }));
    RunFor(100);
    const unsigned survivor = rec.ticks.front().id;
    EXPECT_EQ(rec.Count(survivor), static_cast<int>(rec.ticks.size()));
}

TEST(WindowTimers, TicksOfTheSameIdArriveInsideItsHandlersNestedLoop) {
    Recorder rec;
    CWindowTimers timers(rec.Handler());
    QEventLoop nested;
    int depth = 0;
    int nestedTicks = 0;
    int nestedOtherTicks = 0;
    rec.also = [&](unsigned id) {
        if (depth > 0) {
            nestedTicks += id == 1 ? 1 : 0;
            nestedOtherTicks += id == 2 ? 1 : 0;
            if (nestedTicks == 5) {
                nested.quit();
            }
            return;
        }
        if (id == 1) {
            ++depth;
            QTimer::singleShot(LIMIT_MS, &nested, &QEventLoop::quit);
            nested.exec();
            --depth;
        }
    };
    timers.SetTimer(1, 10);
    timers.SetTimer(2, 10);
    ASSERT_TRUE(RunUntil([&] { return nestedTicks >= 5; }));
    EXPECT_GE(nestedOtherTicks, 1);
}

TEST(WindowTimers, TicksArriveWhileTheHandlerShowsAModalMessageBox) {
    Recorder rec;
    CWindowTimers timers(rec.Handler());
    QMessageBox box(QMessageBox::Warning, "Vyr", "A problem occured while trying to connect.");
    bool shown = false;
    int ticksInBox = 0;
    rec.also = [&](unsigned id) {
        EXPECT_EQ(QThread::currentThread(), timers.thread());
        if (shown) {
            if (++ticksInBox == 3) {
                box.done(0);
            }
            return;
        }
        if (id == 1226) {
            shown = true;
            QTimer::singleShot(LIMIT_MS, &box, [&] { box.done(0); });
            box.exec();
        }
    };
    timers.SetTimer(1226, 50);
    ASSERT_TRUE(RunUntil([&] { return ticksInBox >= 3; }));
}

TEST(WindowTimers, ABlockedHandlerLeavesAtMostOneTickWaiting) {
    constexpr int PERIOD = 20;
    Recorder rec;
    CWindowTimers timers(rec.Handler());
    qint64 releasedAt = -1;
    rec.also = [&](unsigned) {
        if (releasedAt < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(15 * PERIOD));
            releasedAt = rec.clock.elapsed();
        }
    };
    timers.SetTimer(1, PERIOD);
    ASSERT_TRUE(RunUntil([&] { return rec.ticks.size() >= 4; }));

    // Fifteen periods were missed; one tick may follow at once, the next a period later.
    int soon = 0;
    for (const Recorder::Tick& t : rec.ticks) {
        soon += t.atMs >= releasedAt && t.atMs < releasedAt + PERIOD ? 1 : 0;
    }
    EXPECT_LE(soon, 1);
}

TEST(WindowTimers, IdsAreIndependent) {
    Recorder rec;
    CWindowTimers timers(rec.Handler());
    timers.SetTimer(1, 10);
    timers.SetTimer(2, 10);
    timers.SetTimer(3, 100000);
    ASSERT_TRUE(RunUntil([&] { return rec.Count(1) >= 3 && rec.Count(2) >= 3; }));

    timers.KillTimer(1);
    timers.SetTimer(2, 15);
    EXPECT_EQ(timers.PeriodOf(1), 0);
    EXPECT_EQ(timers.PeriodOf(2), 15);
    EXPECT_EQ(timers.PeriodOf(3), 100000);
    const int ones = rec.Count(1);
    const int twos = rec.Count(2);
    EXPECT_TRUE(RunUntil([&] { return rec.Count(2) >= twos + 3; }));
    EXPECT_EQ(rec.Count(1), ones);
    EXPECT_EQ(rec.Count(3), 0);
}
