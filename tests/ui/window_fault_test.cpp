// The server dies under the window: the session ends on the eleventh silent watchdog tick (11 to
// 12 s on the real timers), and a new connect on the real timers then works; reconnecting to a
// port that answers "unreachable" does not spin.
#include <signal.h>

#include "AdminDlgFixture.h"
#include "engine/Timers.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/ProcessStats.h"

namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kStillGame{"--players", "3", "--rate", "0"};

TEST_F(AdminDlgTest, KilledServerEndsTheSessionOnTheEleventhSilentWatchdogTick) {
    DemoServerProcess game(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(game.Start(kStillGame)) << game.Output();
    Dlg().m_reconnectCheck->setChecked(false); // the end itself, without what follows it
    FillIn("127.0.0.1", QString::number(game.Port()));
    Dlg().OnConnect();
    ASSERT_TRUE(PollUntil([this] { return Dlg().m_bConnected; }));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    ASSERT_EQ(Dlg().m_playerList->topLevelItemCount(), 3);
    ASSERT_TRUE(game.Signal(SIGKILL));
    ASSERT_EQ(game.WaitForExit(), 128 + SIGKILL);

    // A second of ticks as the timers make them. The first watchdog tick still finds the
    // datagrams of the login.
    const auto oneSecond = [this] {
        for (int poll = 0; poll < 1000 / POLL_MS; ++poll) {
            Dlg().OnTimer(TIMER_POLL);
            Dlg().OnTimer(TIMER_UI_REFRESH);
        }
        Dlg().OnTimer(TIMER_WATCHDOG);
    };
    for (int silent = 0; silent <= 10; ++silent) {
        oneSecond();
        ASSERT_TRUE(Dlg().m_bConnected) << "ended after " << silent << " silent ticks";
    }
    oneSecond();
    EXPECT_EQ(Shown(), kIdle);
    EXPECT_TRUE(Log().endsWith("\nDisconnected: Connection timed out.\n")) << Log().toStdString();
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(RealTimeWindowTest, KilledServerTimesOutElevenToTwelveSecondsAfterItsLastDatagram) {
    DemoServerProcess game(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(game.Start(kStillGame)) << game.Output();
    Dlg().m_reconnectCheck->setChecked(false); // the end itself, without what follows it
    FillIn("127.0.0.1", QString::number(game.Port()));
    Dlg().OnConnect();
    ASSERT_TRUE(RunEventLoopUntil([this] { return Dlg().m_bConnected; }, 5s));

    // The server pings every 2 s: kill it just after one of its datagrams was handled.
    CAdminClient& client = *Dlg().m_pClient;
    ASSERT_TRUE(RunEventLoopUntil([&client] { return !client.heardFromServer; }, 5s));
    ASSERT_TRUE(RunEventLoopUntil([&client] { return client.heardFromServer; }, 5s));
    QElapsedTimer sinceLastDatagram;
    sinceLastDatagram.start();
    ASSERT_TRUE(game.Signal(SIGKILL));

    // Meanwhile the admin keeps typing; every command comes back as "port unreachable".
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, [this] {
        Dlg().m_commandEdit->setText("status");
        Dlg().OnSend();
    });
    typing.start(1000);
    qint64 stallMs = 0;
    const auto cpuAtStart = ProcessCpuTime();
    ASSERT_TRUE(RunEventLoopUntil([this] { return !Dlg().m_bConnected; }, 20s, &stallMs));
    const double seconds = sinceLastDatagram.elapsed() / 1000.0;
    const double cpuShare =
        std::chrono::duration<double>(ProcessCpuTime() - cpuAtStart).count() / seconds;
    typing.stop();

    // The datagram came in up to one poll period before it was seen as handled, and timers run
    // late on a busy machine.
    EXPECT_GE(seconds, 11.0 - 0.1);
    EXPECT_LE(seconds, 12.0 + 0.75);
    EXPECT_LT(cpuShare, 0.2) << "the dead link or the idle timers keep the CPU busy";
    EXPECT_LT(stallMs, 100);
    EXPECT_EQ(Shown(), kIdle);
    EXPECT_TRUE(Log().endsWith("\nDisconnected: Connection timed out.\n")) << Log().toStdString();
    EXPECT_EQ(game.WaitForExit(), 128 + SIGKILL);

    DemoServerProcess fresh(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(fresh.Start(kStillGame)) << fresh.Output();
    Dlg().m_portEdit->setText(QString::number(fresh.Port()));
    Dlg().OnConnect();
    EXPECT_TRUE(RunEventLoopUntil(
        [this] { return Dlg().m_bConnected && Dlg().m_playerList->topLevelItemCount() == 3; }, 5s));
}

// Reconnect attempts to a port that answers each login with "port unreachable": the error wakes
// the window once and is consumed; between attempts the window sleeps.
TEST_F(RealTimeWindowTest, ReconnectAttemptsToAClosedPortDoNotSpin) {
    LogIn();
    server.Close();
    for (int tick = 0; tick < WATCHDOG_SILENT_TICKS + 2; ++tick) {
        Dlg().OnTimer(TIMER_WATCHDOG);
    }
    QElapsedTimer took;
    took.start();
    const auto cpuAtStart = ProcessCpuTime();
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(Dlg().m_reconnectTimer->isActive()) << Log().toStdString();
        Dlg().OnReconnectDue();
        RunEventLoopUntil([] { return false; }, 1s);
        Dlg().OnTimer(TIMER_CONNECT_TIMEOUT);
    }
    const double cpuShare = std::chrono::duration<double>(ProcessCpuTime() - cpuAtStart).count() /
                            (took.elapsed() / 1000.0);
    EXPECT_LT(cpuShare, 0.2) << "the unreachable port keeps the window busy";
    EXPECT_EQ(Log().count("Connecting..."), 4);
    EXPECT_TRUE(Dlg().m_reconnectTimer->isActive());
}

} // namespace
