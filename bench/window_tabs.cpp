// bench_window_tabs: the main window with several tabs, each logged in to a vyr-demo-server of
// its own.
//
//   bench_window_tabs --load [--tabs N] [--rate EVENTS_PER_S] [--seconds S]
//       N tabs (8) on servers sending RATE events a second each (100): the event loop runs in
//       slices of 5 ms, and how late each slice ends is how long the UI thread was kept from
//       its loop; the longest, the 99th percentile and the lines shown are printed. On a shared
//       machine a slice can also end late because the thread, ready to run, waited for a core:
//       the kernel's count of that wait (/proc/thread-self/schedstat) is taken off, which
//       leaves the stall the window itself caused, by work or by waiting on anything else.
//   bench_window_tabs --idle [--tabs N] [--rate EVENTS_PER_S] [--seconds S]
//       N connected tabs (8) on quiet servers (0.1 events a second, 16 players): the process's
//       CPU and wakeups over S seconds (30) of the window's own event loop.
//   bench_window_tabs --memory [--tabs N] [--lines L]
//       N tabs (8), each log given L lines (100,000, what a log keeps): the resident memory
//       before and after, and per tab.

#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/WindowHarness.h"
#include "tests/support/DemoServerProcess.h"
#include "ui/StatusLog.h"

namespace {

struct Options {
    enum class Mode { Load, Idle, Memory } mode = Mode::Load;
    int tabs = 8;
    std::string rate;
    double seconds = 0;
    int lines = 100000;
};

double ThreadCpuMs() {
    timespec used{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
    return static_cast<double>(used.tv_sec) * 1e3 + static_cast<double>(used.tv_nsec) / 1e6;
}

// How long this thread has waited, ready to run, for a core, in milliseconds.
double RunQueueWaitMs() {
    std::FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
    unsigned long long onCpu = 0, waited = 0;
    const bool read = file && std::fscanf(file, "%llu %llu", &onCpu, &waited) == 2;
    if (file) {
        std::fclose(file);
    }
    return read ? static_cast<double>(waited) / 1e6 : 0;
}

double CpuSeconds(const rusage& r) {
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

std::vector<std::unique_ptr<DemoServerProcess>> StartServers(int count, const std::string& rate) {
    std::vector<std::unique_ptr<DemoServerProcess>> servers;
    for (int i = 0; i < count; ++i) {
        servers.push_back(std::make_unique<DemoServerProcess>(
            VYR_DEMO_SERVER, std::vector<std::string>{"--players", "16", "--rate", rate, "--seed",
                                                      std::to_string(i + 1)}));
    }
    return servers;
}

std::vector<int> Ports(const std::vector<std::unique_ptr<DemoServerProcess>>& servers) {
    std::vector<int> ports;
    for (const auto& server : servers) {
        ports.push_back(server->Port());
    }
    return ports;
}

int LinesShown(TabsHarness& window) {
    int lines = 0;
    for (int i = 0; i < window.Window().Count(); ++i) {
        lines += window.Tab(i).m_log->document()->blockCount() - 1;
    }
    return lines;
}

// Lines the logs dropped because they came faster than they could be shown: the notices that
// say so, and tabs whose backlog still waits.
int Behind(TabsHarness& window) {
    int behind = 0;
    for (int i = 0; i < window.Window().Count(); ++i) {
        behind += window.Tab(i).m_statusLog->HasWaiting() ? 1 : 0;
        behind += window.Tab(i).m_log->toPlainText().count(QStringLiteral("events skipped"));
    }
    return behind;
}

bool AllConnected(TabsHarness& window) {
    for (int i = 0; i < window.Window().Count(); ++i) {
        if (!window.Tab(i).m_bConnected) {
            return false;
        }
    }
    return true;
}

int Load(const Options& options) {
    const auto servers = StartServers(options.tabs, options.rate);
    TabsHarness window(options.tabs);
    if (!window.ConnectAll(Ports(servers))) {
        std::fprintf(stderr, "bench_window_tabs: not every tab connected\n");
        return 1;
    }
    RunFor(1000); // the welcomes and the first lines are drawn
    const int linesBefore = LinesShown(window);

    // As the tests' RunEventLoopUntil: a slice of the event loop that should last 5 ms; what it
    // overruns is how long something kept the loop from turning.
    constexpr int SLICE_MS = 5;
    std::vector<double> lateMs;
    double mostBusyMs = 0; // the most CPU the thread used in one slice
    double ownLongest = 0; // the longest lateness less the wait for a core
    double busyOfLatest = 0, queuedOfLatest = 0;
    QElapsedTimer wall, slice;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    wall.start();
    while (wall.elapsed() < static_cast<qint64>(options.seconds * 1000)) {
        QEventLoop loop;
        QTimer::singleShot(SLICE_MS, Qt::PreciseTimer, &loop, &QEventLoop::quit);
        const double cpuBefore = ThreadCpuMs();
        const double queuedBefore = RunQueueWaitMs();
        slice.start();
        loop.exec();
        const double late =
            std::max(0.0, static_cast<double>(slice.nsecsElapsed()) / 1e6 - SLICE_MS);
        const double busy = ThreadCpuMs() - cpuBefore;
        const double queued = RunQueueWaitMs() - queuedBefore;
        mostBusyMs = std::max(mostBusyMs, busy);
        ownLongest = std::max(ownLongest, late - queued);
        if (lateMs.empty() || late > *std::max_element(lateMs.begin(), lateMs.end())) {
            busyOfLatest = busy;
            queuedOfLatest = queued;
        }
        lateMs.push_back(late);
    }
    getrusage(RUSAGE_SELF, &after);
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    std::sort(lateMs.begin(), lateMs.end());
    const auto percentile = [&](double p) {
        return lateMs[std::min(lateMs.size() - 1, static_cast<std::size_t>(p * lateMs.size()))];
    };
    const int shown = LinesShown(window) - linesBefore;
    std::printf("platform=%s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("tabs=%d rate_per_tab=%s seconds=%.1f\n", options.tabs, options.rate.c_str(),
                elapsed);
    std::printf("all_connected=%d\n", AllConnected(window) ? 1 : 0);
    std::printf("lines_shown=%d (%.0f a second)\n", shown, shown / elapsed);
    std::printf("skipped_or_waiting=%d\n", Behind(window));
    std::printf("slices=%zu\n", lateMs.size());
    std::printf("stall_max_ms=%.2f (in that slice: thread CPU %.2f ms, waiting for a core %.2f "
                "ms)\n",
                lateMs.back(), busyOfLatest, queuedOfLatest);
    std::printf("stall_max_less_core_wait_ms=%.2f\n", std::max(0.0, ownLongest));
    std::printf("busiest_slice_cpu_ms=%.2f\n", mostBusyMs);
    std::printf("stall_p99_ms=%.2f\n", percentile(0.99));
    std::printf("stall_p999_ms=%.2f\n", percentile(0.999));
    std::printf("stall_median_ms=%.2f\n", percentile(0.5));
    std::printf("cpu_percent=%.1f\n", 100 * (CpuSeconds(after) - CpuSeconds(before)) / elapsed);
    return AllConnected(window) ? 0 : 1;
}

int Idle(const Options& options) {
    const auto servers = StartServers(options.tabs, options.rate);
    TabsHarness window(options.tabs);
    if (!window.ConnectAll(Ports(servers))) {
        std::fprintf(stderr, "bench_window_tabs: not every tab connected\n");
        return 1;
    }
    RunFor(1000);
    rusage before{}, after{};
    QElapsedTimer wall;
    getrusage(RUSAGE_SELF, &before);
    wall.start();
    RunFor(static_cast<int>(options.seconds * 1000));
    getrusage(RUSAGE_SELF, &after);
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds(after) - CpuSeconds(before);
    std::printf("platform=%s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("tabs=%d rate_per_tab=%s wall_s=%.1f\n", options.tabs, options.rate.c_str(),
                elapsed);
    std::printf("still_connected=%d\n", AllConnected(window) ? 1 : 0);
    std::printf("cpu_ms=%.1f\n", cpu * 1000);
    std::printf("idle_cpu_percent=%.3f\n", 100 * cpu / elapsed);
    std::printf("wakeups_per_s=%.1f\n",
                static_cast<double>(after.ru_nvcsw - before.ru_nvcsw) / elapsed);
    return AllConnected(window) ? 0 : 1;
}

// Lines go in through AppendLog with the event loop run every 100 lines, as refresh ticks would
// deliver them; the tab in view paints, the others only lay their lines out.
int Memory(const Options& options) {
    const std::size_t startKiB = ResidentKiB();
    TabsHarness window(options.tabs);
    const std::size_t emptyKiB = ResidentKiB();
    QElapsedTimer clock;
    clock.start();
    for (int tab = 0; tab < options.tabs; ++tab) {
        for (int line = 0; line < options.lines; ++line) {
            const LogEntry e = WindowHarness::LogLine(line);
            window.Tab(tab).AppendLog(QString::fromLatin1(e.text.c_str()), e.colour, true);
            if (line % 100 == 99) {
                ProcessEvents();
            }
        }
        ProcessEvents();
        std::printf("tab=%d rss_kib=%zu\n", tab + 1, ResidentKiB());
        std::fflush(stdout);
    }
    const std::size_t fullKiB = ResidentKiB();
    std::printf("platform=%s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("rss_kib_before_window=%zu\n", startKiB);
    std::printf("rss_kib_%d_empty_tabs=%zu\n", options.tabs, emptyKiB);
    std::printf("rss_kib_%d_tabs_of_%d_lines=%zu\n", options.tabs, options.lines, fullKiB);
    std::printf("kib_per_tab_at_%d_lines=%zu\n", options.lines,
                (fullKiB - std::min(fullKiB, emptyKiB)) / static_cast<std::size_t>(options.tabs));
    std::printf("kib_per_empty_tab=%zu\n",
                (emptyKiB - std::min(emptyKiB, startKiB)) / static_cast<std::size_t>(options.tabs));
    std::printf("peak_rss_kib=%zu\n", PeakResidentKiB());
    std::printf("elapsed_s=%.1f\n", static_cast<double>(clock.nsecsElapsed()) / 1e9);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (std::strcmp(argv[i], "--load") == 0) {
            options.mode = Options::Mode::Load;
        } else if (std::strcmp(argv[i], "--idle") == 0) {
            options.mode = Options::Mode::Idle;
        } else if (std::strcmp(argv[i], "--memory") == 0) {
            options.mode = Options::Mode::Memory;
        } else if (std::strcmp(argv[i], "--tabs") == 0 && value) {
            options.tabs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--rate") == 0 && value) {
            options.rate = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && value) {
            options.seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--lines") == 0 && value) {
            options.lines = std::max(0, std::atoi(argv[++i]));
        }
    }
    const bool load = options.mode == Options::Mode::Load;
    if (options.rate.empty()) {
        options.rate = load ? "100" : "0.1";
    }
    if (options.seconds <= 0) {
        options.seconds = load ? 20 : 30;
    }
    UseOffscreenUnlessSet();
    QApplication application(argc, argv);
    switch (options.mode) {
    case Options::Mode::Load:
        return Load(options);
    case Options::Mode::Idle:
        return Idle(options);
    case Options::Mode::Memory:
        return Memory(options);
    }
    return 2;
}
