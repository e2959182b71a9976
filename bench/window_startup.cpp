// bench_window_startup: the time from process start to the admin window on screen. The parent
// notes the monotonic clock, starts this program again as a child (a fresh process: dynamic
// loading, Qt's platform, fonts and all) and the child reports when its window (the main window
// with its one tab, as vyr-admin opens it) received its first show event and when its first
// frame had been painted. Runs repeat; the median counts.
//
//   bench_window_startup [--runs N]

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
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

// One child run: the milliseconds to its first show and to its first frame.
bool RunChild(std::vector<double>& shown, std::vector<double>& painted) {
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

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) {
        const char* start = std::getenv(START_VARIABLE);
        return Child(argc, argv, start ? std::atoll(start) : MonotonicNs());
    }
    const int runs = argc > 2 && std::strcmp(argv[1], "--runs") == 0 ? std::atoi(argv[2]) : 10;
    std::vector<double> shown;
    std::vector<double> painted;
    for (int i = 0; i < runs; ++i) {
        if (!RunChild(shown, painted)) {
            std::fprintf(stderr, "bench_window_startup: run %d failed\n", i + 1);
            return 1;
        }
        std::printf("run %d: shown %.1f ms, first frame %.1f ms\n", i + 1, shown.back(),
                    painted.back());
    }
    std::printf("startup_to_show_ms_median=%.1f\n", Median(shown));
    std::printf("startup_to_first_frame_ms_median=%.1f\n", Median(painted));
    std::printf("startup_to_first_frame_ms_min=%.1f max=%.1f\n",
                *std::min_element(painted.begin(), painted.end()),
                *std::max_element(painted.begin(), painted.end()));
    return 0;
}
