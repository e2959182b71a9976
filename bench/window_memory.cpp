// bench_window_memory: the resident memory of the admin window as its status log takes
// 1,000,000 lines, for a log that keeps only the newest 100,000. The lines go in through
// AppendLog with the event loop run after every 100 lines, as a busy server's refresh ticks
// would deliver them; the RSS is read at checkpoints along the way.

#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <cstdio>

#include "bench/WindowHarness.h"

int main(int argc, char** argv) {
    UseOffscreenUnlessSet();
    QApplication application(argc, argv);
    const std::size_t startKiB = ResidentKiB();
    WindowHarness window;
    CAdminDlg& dlg = window.Dlg();
    std::printf("rss_kib_empty_window=%zu (process before the window: %zu)\n", ResidentKiB(),
                startKiB);

    const int checkpoints[] = {1000, 10000, 100000, 200000, 500000, 1000000};
    QElapsedTimer clock;
    clock.start();
    int line = 0;
    for (const int checkpoint : checkpoints) {
        for (; line < checkpoint; ++line) {
            const LogEntry e = WindowHarness::LogLine(line);
            dlg.AppendLog(QString::fromLatin1(e.text.c_str()), e.colour, true);
            if (line % 100 == 99) {
                ProcessEvents();
            }
        }
        ProcessEvents();
        std::printf("lines=%d rss_kib=%zu blocks=%d elapsed_s=%.1f\n", line, ResidentKiB(),
                    dlg.m_log->document()->blockCount(),
                    static_cast<double>(clock.nsecsElapsed()) / 1e9);
        std::fflush(stdout);
    }
    std::printf("rss_kib_after_1m_lines=%zu\n", ResidentKiB());
    std::printf("peak_rss_kib=%zu\n", PeakResidentKiB());
    std::printf("us_per_line_with_paint=%.1f\n",
                static_cast<double>(clock.nsecsElapsed()) / 1e3 / line);
    return 0;
}
