// bench_window_startup: the time from process start to the admin window on screen. The parent
// notes the monotonic clock, starts this program again as a child (a fresh process: dynamic
// loading, Qt's platform, fonts and all) and the child reports when its window (the main window
// with its one tab, as vyr-admin opens it) received its first show event and when its first
// frame had been painted. Runs repeat; the median counts.
//
//   bench_window_startup [--runs N] [--players-file FILE]
//
// The window opens its player memory as it starts. Every child gets a player memory of its own:
// an empty one, or with FILE (the 1,000,000 chat lines that bench_players --dir leaves in
// chat.sqlite) runs alternate between an empty one and a copy of FILE, both medians given.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "bench/WindowHarness.h"
#include "ui/AppIcon.h"

namespace {

constexpr const char* START_VARIABLE = "VYR_BENCH_START_NS";

long long MonotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Notes the first show event and the first paint; once that paint's frame is done, quits.
class FirstFrame : public QObject {
  public:
    long long shownNs = 0;
    long long paintedNs = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && shownNs == 0 && watched->isWidgetType()) {
            shownNs = MonotonicNs();
        } else if (event->type() == QEvent::Paint && paintedNs == 0) {
            paintedNs = -1;
            QTimer::singleShot(0, this, [this] {
                paintedNs = MonotonicNs();
                QApplication::quit();
            });
        }
        return false;
    }
};

int Child(int argc, char** argv, long long startNs) {
    UseOffscreenUnlessSet();
    QTemporaryDir configDir;
    qputenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit());
    // A copied file's chat lines may be older than the default retention: all of them stay.
    QDir().mkpath(configDir.filePath("vyr"));
    QFile preferences(configDir.filePath("vyr/vyr-admin.conf"));
    if (!preferences.open(QIODevice::WriteOnly) ||
        preferences.write("[Players]\nChatRetentionDays=0\n") < 0) {
        return 1;
    }
    preferences.close();
    QApplication application(argc, argv);
    FirstFrame frame;
    application.installEventFilter(&frame);
    QApplication::setWindowIcon(AppIcon());
    CMainWindow window;
    window.show();
    QApplication::exec();
    std::printf("%.2f %.2f\n", static_cast<double>(frame.shownNs - startNs) / 1e6,
                static_cast<double>(frame.paintedNs - startNs) / 1e6);
    return 0;
}

// One child run with its player memory in `dataHome`: the milliseconds to its first show and to
// its first frame.
bool RunChild(const std::string& dataHome, std::vector<double>& shown,
              std::vector<double>& painted) {
    setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    int out[2];
    if (::pipe(out) != 0) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char self[] = "/proc/self/exe";
    char child[] = "--child";
    char* argv[] = {self, child, nullptr};
    setenv(START_VARIABLE, std::to_string(MonotonicNs()).c_str(), 1);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char text[128] = {};
    const ssize_t n = spawned == 0 ? ::read(out[0], text, sizeof text - 1) : -1;
    ::close(out[0]);
    int status = 0;
    if (spawned == 0) {
        ::waitpid(pid, &status, 0);
    }
    double s = 0;
    double p = 0;
    if (n <= 0 || std::sscanf(text, "%lf %lf", &s, &p) != 2 || status != 0) {
        return false;
    }
    shown.push_back(s);
    painted.push_back(p);
    return true;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

std::string TemporaryFolder() {
    char pattern[] = "/tmp/bench-startup-XXXXXX";
    return ::mkdtemp(pattern) ? pattern : std::string();
}

struct Runs {
    std::vector<double> shown;
    std::vector<double> painted;
};

void Summarise(const char* label, const Runs& runs) {
    std::printf("%sstartup_to_show_ms_median=%.1f\n", label, Median(runs.shown));
    std::printf("%sstartup_to_first_frame_ms_median=%.1f\n", label, Median(runs.painted));
    std::printf("%sstartup_to_first_frame_ms_min=%.1f max=%.1f\n", label,
                *std::min_element(runs.painted.begin(), runs.painted.end()),
                *std::max_element(runs.painted.begin(), runs.painted.end()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        const char* start = std::getenv(START_VARIABLE);
        return Child(argc, argv, start ? std::atoll(start) : MonotonicNs());
    }
    int runs = 10;
    std::string playersFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--players-file") == 0) {
            playersFile = argv[i + 1];
        }
    }
    const std::string emptyHome = TemporaryFolder();
    const std::string fullHome = playersFile.empty() ? std::string() : TemporaryFolder();
    std::error_code error;
    if (!fullHome.empty()) {
        std::filesystem::create_directories(fullHome + "/vyr", error);
        std::filesystem::copy_file(playersFile, fullHome + "/vyr/players.sqlite", error);
    }
    if (emptyHome.empty() || error) {
        std::fprintf(stderr, "bench_window_startup: no player memory to start with\n");
        return 1;
    }
    Runs empty;
    Runs full;
    for (int i = 0; i < runs; ++i) {
        // Alternating, so that the load of a shared machine falls on both alike.
        for (const auto& [home, into, label] :
             {std::tuple(emptyHome, &empty, ""), std::tuple(fullHome, &full, " (large memory)")}) {
            if (home.empty()) {
                continue;
            }
            if (!RunChild(home, into->shown, into->painted)) {
                std::fprintf(stderr, "bench_window_startup: run %d failed\n", i + 1);
                return 1;
            }
            std::printf("run %d%s: shown %.1f ms, first frame %.1f ms\n", i + 1, label,
                        into->shown.back(), into->painted.back());
        }
    }
    Summarise("", empty);
    if (!fullHome.empty()) {
        Summarise("large_memory_", full);
        std::printf("large_memory_to_empty_first_frame_ratio=%.3f\n",
                    Median(full.painted) / Median(empty.painted));
    }
    std::filesystem::remove_all(emptyHome, error);
    if (!fullHome.empty()) {
        std::filesystem::remove_all(fullHome, error);
    }
    return 0;
}
