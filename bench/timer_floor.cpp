// bench_timer_floor: what a wakeup costs on this machine, to read the idle window's figure
// against. First a bare loop that sleeps in poll() for 10 ms at a time, then a Qt program with
// one shown widget and one 10 ms timer that restarts itself at each tick and does nothing else,
// as the window's refresh timer does. Both report CPU of one core and wakeups per second.
//
//   bench_timer_floor [--seconds S]

#include <poll.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/WindowHarness.h"

namespace {

struct Usage {
    Usage() {
        getrusage(RUSAGE_SELF, &start);
        wall.start();
    }
    void Report(const char* what) const {
        rusage now{};
        getrusage(RUSAGE_SELF, &now);
        const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        const double cpu = static_cast<double>(now.ru_utime.tv_sec - start.ru_utime.tv_sec +
                                               now.ru_stime.tv_sec - start.ru_stime.tv_sec) +
                           static_cast<double>(now.ru_utime.tv_usec - start.ru_utime.tv_usec +
                                               now.ru_stime.tv_usec - start.ru_stime.tv_usec) /
                               1e6;
        const double wakeups = static_cast<double>(now.ru_nvcsw - start.ru_nvcsw) / seconds;
        std::printf("%s_cpu_percent=%.3f\n%s_wakeups_per_s=%.1f\n%s_us_per_wakeup=%.1f\n", what,
                    100 * cpu / seconds, what, wakeups, what, 1e6 * cpu / seconds / wakeups);
    }
    rusage start{};
    QElapsedTimer wall;
};

} // namespace

int main(int argc, char** argv) {
    const double seconds =
        argc > 2 && std::strcmp(argv[1], "--seconds") == 0 ? std::atof(argv[2]) : 20.0;
    {
        const Usage usage;
        for (int i = 0; i < static_cast<int>(seconds * 100); ++i) {
            ::poll(nullptr, 0, 10);
        }
        usage.Report("poll_loop");
    }

    UseOffscreenUnlessSet();
    QApplication application(argc, argv);
    QWidget widget;
    widget.resize(400, 300);
    widget.show();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&tick] { tick.start(10); });
    tick.start(10);
    ProcessEvents();
    const Usage usage;
    QTimer::singleShot(static_cast<int>(seconds * 1000), Qt::PreciseTimer, &application,
                       &QApplication::quit);
    QApplication::exec();
    usage.Report("qt_timer");
    return 0;
}
