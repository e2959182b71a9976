// The admin window on a Qt platform (offscreen unless QT_QPA_PLATFORM says otherwise): one
// status-log line appended to a log of 1,000 and of 100,000 lines (the scrollback, where every
// new line drops the oldest), with its time and its line in the log file, with and without the
// repaint that follows; a refresh tick that shows a burst of 32 entries queued by the client; the
// player-list redraw of a refresh tick at 8, 64 and 256 players, also with the player memory's
// Seen column; and the time from a datagram's arrival to its handling.

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>

#include "bench/BenchCounters.h"
#include "bench/BenchRoster.h"
#include "bench/WindowHarness.h"
#include "core/players/PlayerStore.h"
#include "engine/Timers.h"
#include "tests/support/UdpPeer.h"
#include "ui/PagePlayerMemory.h"
#include "ui/PlayerTable.h"
#include "ui/StatusLog.h"

namespace {

constexpr int APPENDS = 1000; // per run: a log of 1,000 lines ends with 2,000 (1,600 for ticks)

QString Text(const LogEntry& e) {
    return QString::fromLatin1(e.text.data(), static_cast<qsizetype>(e.text.size()));
}

void FillLog(CAdminDlg& dlg, int lines) {
    for (int i = 0; i < lines; ++i) {
        const LogEntry e = WindowHarness::LogLine(i);
        dlg.AppendLog(Text(e), e.colour, true);
        if (i % 1000 == 999) {
            ProcessEvents();
        }
    }
    ProcessEvents();
}

void AppendLines(benchmark::State& state, bool paint) {
    WindowHarness window;
    FillLog(window.Dlg(), static_cast<int>(state.range(0)));
    window.Dlg().m_statusLog->File().Start(QStringLiteral("127.0.0.1"),
                                           27888); // as a connection does
    std::vector<LogEntry> lines;
    for (int i = 0; i < APPENDS; ++i) {
        lines.push_back(WindowHarness::LogLine(i + 17));
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const LogEntry& e = lines[i++ % lines.size()];
        window.Dlg().AppendLog(Text(e), e.colour, true);
        if (paint) {
            ProcessEvents();
        }
    }
    state.counters["lines_after"] = window.Dlg().m_log->document()->blockCount();
}

void BM_AppendLog(benchmark::State& state) {
    AppendLines(state, false);
}
void BM_AppendLogAndPaint(benchmark::State& state) {
    AppendLines(state, true);
}

// The client queues 32 entries (what one poll drains from a busy server) and the next refresh
// tick shows them, then the window repaints. "per_line" is per entry.
void BM_RefreshTickOf32Lines(benchmark::State& state) {
    constexpr int burst = 32;
    WindowHarness window;
    window.GiveClient({});
    CAdminDlg& dlg = window.Dlg();
    FillLog(dlg, static_cast<int>(state.range(0)));
    std::vector<LogEntry> lines;
    for (int i = 0; i < burst; ++i) {
        lines.push_back(WindowHarness::LogLine(i + 17));
    }
    for (auto _ : state) {
        for (const LogEntry& e : lines) {
            dlg.m_pClient->QueueLog(e.text, e.colour);
        }
        dlg.OnTimer(TIMER_UI_REFRESH);
        ProcessEvents();
    }
    state.counters["per_line"] = PerItem(static_cast<double>(state.iterations() * burst));
    state.counters["lines_after"] = dlg.m_log->document()->blockCount();
}

// A refresh tick that finds the list dirty (a score changed): the whole list is rebuilt. With
// `memory`, every player has a record in the player memory, which the Seen column shows.
void RedrawTicks(benchmark::State& state, bool paint, bool memory = false) {
    WindowHarness window;
    const std::vector<wire::PlayerEntry> players = BenchPlayers(static_cast<int>(state.range(0)));
    window.GiveClient(players);
    CAdminDlg& dlg = window.Dlg();
    if (memory) {
        const ServerKey server{"127.0.0.1", 27960};
        CPlayerStore& store = dlg.m_playerMemory->Store();
        std::vector<std::string> names;
        for (const wire::PlayerEntry& player : players) {
            names.push_back(player.name);
            store.SetNote(server, player.name, "a note of a line or two\nand another", "admin");
        }
        store.StartSession(server, "admin", names);
        if (!store.Flush()) {
            state.SkipWithError("the player memory did not write");
            return;
        }
        dlg.m_playerMemory->SessionStarting(dlg.m_pClient.get(), {server, "admin"});
    }
    dlg.m_pClient->listDirty = true;
    dlg.OnTimer(TIMER_UI_REFRESH);
    dlg.m_playerList->setCurrentItem(
        dlg.m_playerList->topLevelItem(0)); // a selected player, which every redraw selects again
    for (auto _ : state) {
        dlg.m_pClient->listDirty = true;
        dlg.OnTimer(TIMER_UI_REFRESH);
        if (paint) {
            ProcessEvents();
        }
    }
    state.counters["items"] = dlg.m_playerList->topLevelItemCount();
}

void BM_RedrawPlayerList(benchmark::State& state) {
    RedrawTicks(state, false);
}
void BM_RedrawPlayerListAndPaint(benchmark::State& state) {
    RedrawTicks(state, true);
}
void BM_RedrawPlayerListWithMemory(benchmark::State& state) {
    RedrawTicks(state, false, true);
}

// From a datagram's arrival on the link to its handling by the window's client: a score change
// sent by a loopback server, waited for in the window's own event loop (wall-clock time).
void BM_ArrivalToHandling(benchmark::State& state) {
    WindowHarness window;
    CAdminDlg& dlg = window.Dlg();
    UdpPeer server;
    dlg.m_hostEdit->setText("127.0.0.1");
    dlg.m_portEdit->setText(QString::number(server.Port()));
    dlg.m_userEdit->setText("admin");
    dlg.m_passwordEdit->setText("admin");
    dlg.OnConnect();
    if (!server.ReceiveOfType(MSG_LOGIN)) {
        state.SkipWithError("no login arrived");
        return;
    }
    server.Send(wire::EncodeWelcome({{3, 0, "Bob"}}));
    while (!dlg.m_bConnected) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // Another thread sends, 1 to 51 ms on, so the window is asleep in its event loop when the
    // datagram arrives, at moments spread over the poll period.
    std::int16_t value = 0;
    for (auto _ : state) {
        const Bytes update = wire::EncodePlayerValue(3, ++value);
        std::chrono::steady_clock::time_point sentAt;
        std::thread sender([&] {
            std::this_thread::sleep_for(std::chrono::microseconds(1000 + 7919 * value % 50000));
            sentAt = std::chrono::steady_clock::now();
            server.Send(update);
        });
        while (dlg.m_pClient->roster->ValueByPosition(0) != value) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        const auto handledAt = std::chrono::steady_clock::now();
        sender.join();
        state.SetIterationTime(std::chrono::duration<double>(handledAt - sentAt).count());
    }
}

} // namespace

BENCHMARK(BM_ArrivalToHandling)->Iterations(200)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendLog)->Arg(1000)->Arg(100000)->Iterations(APPENDS)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AppendLogAndPaint)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(APPENDS)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshTickOf32Lines)
    ->Arg(1000)
    ->Arg(100000)
    ->Iterations(APPENDS / 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedrawPlayerList)->Arg(8)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedrawPlayerListAndPaint)->Arg(8)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RedrawPlayerListWithMemory)->Arg(8)->Arg(64)->Arg(256)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    UseOffscreenUnlessSet();
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
