// bench_bans: a catch-up of 1,000 expired bans. A real player store file holds 1,000 timed bans
// that expired while no one was connected, the demo server has their 1,000 addresses on its
// list, and a new ban session logs in, as a program does after a restart. The lifter sends one
// /removeip a second; the benchmark moves its steady clock on by a second after each answer, so
// the 1,000 lifts take 1,000 seconds of the program's time and only as long in real time as the
// work itself. It reports that work (wall and CPU time, and the longest single step, which is
// the longest the event loop would be held), then a run of a few lifts at the real pace with
// the shortest gap between two of them.
//
//   bench_bans [--bans N] [--paced N]

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "core/bans/BanSession.h"
#include "engine/Timers.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::int64_t START = 1'700'000'000;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double ProcessCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

std::string Address(int i) {
    return "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
}

struct Result {
    int lifted = 0;
    double wallMs = 0;
    double cpuMs = 0;
    double longestStepMs = 0;
    double programSeconds = 0;
    double shortestGapMs = 0; // between two lifts, in real time (paced runs)
    double firstToLastMs = 0;
};

// Records `count` bans that expired an hour before the login, with their addresses barred on
// the server, then logs in and lifts them. `paced`: the real clock, else the moved one.
Result CatchUp(int count, bool paced) {
    DemoServerProcess server(VYR_DEMO_SERVER_PATH, {"--players", "0", "--rate", "0"});
    TempDir dir;
    std::int64_t utc = START;
    PlayerStoreOptions options;
    options.path = dir.Path() + "/players.sqlite";
    options.clock = [&utc] { return utc; };
    CPlayerStore store(options);
    const ServerKey key{"127.0.0.1", server.Port()};

    CAdminSocket link;
    CPlayerList roster;
    CAdminClient client(link, roster);
    CBanSession session(store, [&utc] { return utc; });
    client.onEvent = [&](const ClientEvent& event) { session.Observe(event); };
    session.SessionStarting(key, "bench");
    if (!client.Connect("127.0.0.1", server.Port(), "admin", "admin")) {
        std::fprintf(stderr, "bench_bans: cannot reach the demo server\n");
        std::exit(1);
    }
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!client.loggedIn && Clock::now() < deadline) {
        client.OnTimer(TIMER_POLL);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int i = 0; i < count; ++i) {
        BanRequest ban;
        ban.server = key;
        ban.name = "P" + std::to_string(i);
        ban.address = Address(i);
        ban.reason = "bench";
        ban.durationSeconds = 60 + i; // expiries in order of the addresses
        ban.adminUser = "bench";
        store.RecordBan(ban);
        client.SendCommand(("/banip " + Address(i)).c_str());
        if (i % 50 == 49) { // the server's socket buffer takes bursts of this size
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            client.OnTimer(TIMER_POLL);
            server.Output(); // its log is read, or the server stops at a full pipe
        }
    }
    store.Flush();
    utc = START + 3600 + count;

    Result result;
    Clock::time_point programNow = Clock::now();
    const Clock::time_point programStart = programNow;
    std::optional<Clock::time_point> firstLift, lastLift;
    result.shortestGapMs = 1e9;
    const double cpuBefore = ProcessCpuMs();
    const Clock::time_point wallStart = Clock::now();
    session.Connected(programNow);
    const auto limit = Clock::now() + std::chrono::seconds(paced ? count * 2 + 30 : 600);
    for (long round = 0; result.lifted < count && Clock::now() < limit; ++round) {
        if (round % 200 == 0) {
            server.Output();
        }
        if (paced) {
            programNow = Clock::now();
        }
        const Clock::time_point stepStart = Clock::now();
        client.OnTimer(TIMER_POLL);
        for (const BanNotice& notice : session.Step(client, programNow)) {
            if (notice.text.find("lifted: expired.") != std::string::npos) {
                ++result.lifted;
                if (lastLift) {
                    result.shortestGapMs =
                        std::min(result.shortestGapMs, Ms(stepStart - *lastLift));
                }
                lastLift = stepStart;
                firstLift = firstLift.value_or(stepStart);
                if (!paced) {
                    programNow += std::chrono::seconds(1);
                }
            } else if (notice.problem) {
                std::fprintf(stderr, "bench_bans: %s\n", notice.text.c_str());
            }
        }
        result.longestStepMs = std::max(result.longestStepMs, Ms(Clock::now() - stepStart));
        std::this_thread::sleep_for(std::chrono::microseconds(paced ? 2000 : 50));
    }
    result.wallMs = Ms(Clock::now() - wallStart);
    result.cpuMs = ProcessCpuMs() - cpuBefore;
    result.programSeconds = std::chrono::duration<double>(programNow - programStart).count();
    if (firstLift) {
        result.firstToLastMs = Ms(*lastLift - *firstLift);
    }
    store.Flush();
    const StoreRead<std::vector<BanRecord>> left = store.BansDue(key, utc);
    if (!left.value.empty()) {
        std::fprintf(stderr, "bench_bans: %zu bans still due\n", left.value.size());
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    int count = 1000;
    int paced = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--bans") == 0) {
            count = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--paced") == 0) {
            paced = std::atoi(argv[i + 1]);
        }
    }
    const Result fast = CatchUp(count, false);
    std::printf("catch-up of %d expired bans, the program's clock moved a second per lift:\n",
                count);
    std::printf("  lifted %d in %.0f s of the program's time (%.2f a second)\n", fast.lifted,
                fast.programSeconds, fast.lifted / std::max(fast.programSeconds, 1.0));
    std::printf("  work: %.0f ms wall, %.0f ms CPU with the polling loop (%.1f us a lift); "
                "longest step %.2f ms\n",
                fast.wallMs, fast.cpuMs, fast.cpuMs * 1000 / std::max(fast.lifted, 1),
                fast.longestStepMs);
    if (paced > 0) {
        const Result real = CatchUp(paced, true);
        std::printf("catch-up of %d expired bans at the real pace:\n", paced);
        std::printf("  lifted %d, %.2f s from the first lift to the last (%.2f a second), the "
                    "shortest gap %.3f s; %.1f ms CPU; longest step %.2f ms\n",
                    real.lifted, real.firstToLastMs / 1000,
                    (real.lifted - 1) * 1000 / std::max(real.firstToLastMs, 1.0),
                    real.shortestGapMs / 1000, real.cpuMs, real.longestStepMs);
    }
    return 0;
}
