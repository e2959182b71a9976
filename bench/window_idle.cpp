// bench_window_idle: the CPU that a connected, idle admin window costs. The window logs in to
// vyr-demo-server (16 players, 0.1 events per second by default) and then runs its event loop
// for the measured time; getrusage gives the process's CPU time over it, and the voluntary
// context switches tell how often the thread woke up.
//
//   bench_window_idle [--seconds S] [--rate EVENTS_PER_S]

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/WindowHarness.h"
#include "tests/support/DemoServerProcess.h"

namespace {

double CpuSeconds(const rusage& r) {
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    std::string rate = "0.1";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc) {
            rate = argv[++i];
        }
    }
    DemoServerProcess server(VYR_DEMO_SERVER, {"--players", "16", "--rate", rate, "--seed", "1"});
    UseOffscreenUnlessSet();
    QApplication application(argc, argv);
    WindowHarness window;
    CAdminDlg& dlg = window.Dlg();
    dlg.m_hostEdit->setText("127.0.0.1");
    dlg.m_portEdit->setText(QString::number(server.Port()));
    dlg.m_userEdit->setText("admin");
    dlg.m_passwordEdit->setText("admin");
    dlg.OnConnect();
    for (int waited = 0; !dlg.m_bConnected && waited < 5000; waited += 50) {
        RunFor(50);
    }
    if (!dlg.m_bConnected) {
        std::fprintf(stderr, "bench_window_idle: the window did not connect\n");
        return 1;
    }
    RunFor(1000); // the first list and log lines are drawn

    rusage before{};
    rusage after{};
    QElapsedTimer wall;
    getrusage(RUSAGE_SELF, &before);
    wall.start();
    RunFor(static_cast<int>(seconds * 1000));
    getrusage(RUSAGE_SELF, &after);
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const double cpu = CpuSeconds(after) - CpuSeconds(before);

    std::printf("platform=%s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("still_connected=%d\n", dlg.m_bConnected ? 1 : 0);
    std::printf("wall_s=%.1f\n", elapsed);
    std::printf("cpu_ms=%.1f\n", cpu * 1000);
    std::printf("idle_cpu_percent=%.3f\n", 100 * cpu / elapsed);
    std::printf("wakeups_per_s=%.1f\n",
                static_cast<double>(after.ru_nvcsw - before.ru_nvcsw) / elapsed);
    std::printf("log_lines=%d\n", dlg.m_log->document()->blockCount() - 1);
    return dlg.m_bConnected ? 0 : 1;
}
