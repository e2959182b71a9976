// The window when the server dies under it or the address cannot work: the session ends on the
// eleventh silent watchdog tick (11 to 12 s on the real timers) and a new connect works; an
// address that cannot work shows its box and changes nothing else.

#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <poll.h>
#include <signal.h>

#include "WindowFaultFixture.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/ProcessStats.h"

namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kStillGame{"--players", "3", "--rate", "0"};
const std::vector<int> kLoginEdits = {IDC_USERNAME, IDC_PASSWORD, IDC_HOST, IDC_PORT};
const std::vector<int> kSessionControls = {IDC_COMMAND, IDC_SEND, IDC_KICK, IDC_BAN, IDC_SHUTDOWN};
const std::vector<unsigned> kTimers = {TIMER_CONNECT_TIMEOUT, TIMER_UI_REFRESH, TIMER_POLL,
                                       TIMER_WATCHDOG};

::testing::AssertionResult AllEnabled(CAdminDlg& dlg, const std::vector<int>& ids, bool enabled) {
    for (int id : ids) {
        if (dlg.GetDlgItem(id)->isEnabled() != enabled) {
            return ::testing::AssertionFailure() << "control " << id << " enabled != " << enabled;
        }
    }
    return ::testing::AssertionSuccess();
}

QString LastLine(const QString& log) {
    const QStringList lines = log.split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.back();
}

// The controls of a window that is not connected, whatever happened before.
void ExpectDisconnectedControls(CAdminDlg& dlg) {
    EXPECT_FALSE(dlg.m_bConnected);
    EXPECT_EQ(dlg.m_connectButton->text(), strings::CONNECT);
    EXPECT_TRUE(AllEnabled(dlg, kLoginEdits, true));
    EXPECT_TRUE(AllEnabled(dlg, kSessionControls, false));
    EXPECT_EQ(dlg.m_playerList->count(), 0);
}

class ServerLossTest : public WindowFaultTest {
  protected:
    // Connects to `port` and drives poll and refresh ticks until the player list is drawn. The
    // real timers are armed too, but nothing here runs the event loop, so they never fire.
    void LogInByTicks(int port) {
        FillIn("127.0.0.1", QString::number(port));
        Dlg().OnConnect();
        ASSERT_TRUE(Dlg().m_pClient && Dlg().m_pClient->loginPending) << boxes.texts.size();
        for (int round = 0; round < 250 && !Dlg().m_bConnected; ++round) {
            pollfd p{Dlg().m_pClient->link->socketHandle, POLLIN, 0};
            ::poll(&p, 1, 20);
            Dlg().OnTimer(TIMER_POLL);
        }
        ASSERT_TRUE(Dlg().m_bConnected);
        Dlg().OnTimer(TIMER_UI_REFRESH);
    }

    // One second of the window's life as its timers make it: twenty poll ticks with refresh
    // ticks between them, the connect timer every fifth second, then the watchdog tick.
    void OneSecondOfTicks(int second) {
        for (int poll = 0; poll < 1000 / POLL_MS; ++poll) {
            Dlg().OnTimer(TIMER_POLL);
            Dlg().OnTimer(TIMER_UI_REFRESH);
        }
        if (second % 5 == 0) {
            Dlg().OnTimer(TIMER_CONNECT_TIMEOUT);
        }
        Dlg().OnTimer(TIMER_WATCHDOG);
    }
};

TEST_F(ServerLossTest, KilledServerEndsTheSessionOnTheEleventhSilentWatchdogTick) {
    DemoServerProcess server(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(server.Start(kStillGame)) << server.Output();
    LogInByTicks(server.Port());
    ASSERT_EQ(Dlg().m_playerList->count(), 3);

    ASSERT_TRUE(server.Signal(SIGKILL));
    ASSERT_EQ(server.WaitForExit(), 128 + SIGKILL);
    OneSecondOfTicks(0); // its watchdog tick still finds the datagrams of the login
    for (int second = 1; second <= WATCHDOG_SILENT_TICKS; ++second) {
        OneSecondOfTicks(second);
        ASSERT_TRUE(Dlg().m_bConnected) << "ended after " << second << " silent ticks";
    }
    OneSecondOfTicks(WATCHDOG_SILENT_TICKS + 1);
    ExpectDisconnectedControls(Dlg());
    EXPECT_EQ(LastLine(Log()), "Disconnected: Connection timed out.");
    EXPECT_TRUE(boxes.texts.empty());

    DemoServerProcess fresh(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(fresh.Start(kStillGame)) << fresh.Output();
    LogInByTicks(fresh.Port());
    EXPECT_EQ(Dlg().m_playerList->count(), 3);
    EXPECT_EQ(LastLine(Log()), "Connected.");
}

TEST_F(RealTimeWindowTest, KilledServerTimesOutElevenToTwelveSecondsAfterItsLastDatagram) {
    DemoServerProcess server(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(server.Start(kStillGame)) << server.Output();
    FillIn("127.0.0.1", QString::number(server.Port()));
    Dlg().OnConnect();
    ASSERT_TRUE(RunEventLoopUntil([this] { return Dlg().m_bConnected; }, 5s));

    // The server pings every 2 s: kill it just after one of its datagrams was handled.
    CAdminClient& client = *Dlg().m_pClient;
    ASSERT_TRUE(RunEventLoopUntil([&client] { return !client.heardFromServer; }, 5s));
    ASSERT_TRUE(RunEventLoopUntil([&client] { return client.heardFromServer; }, 5s));
    QElapsedTimer sinceLastDatagram;
    sinceLastDatagram.start();
    ASSERT_TRUE(server.Signal(SIGKILL));

    // Meanwhile the admin keeps typing; every command comes back as "port unreachable".
    QTimer typing;
    QObject::connect(&typing, &QTimer::timeout, &typing, [this] {
        Dlg().m_commandEdit->setText("status");
        Dlg().OnSend();
    });
    typing.start(1000);
    StallProbe probe;
    const auto cpuAtStart = ProcessCpuTime();
    ASSERT_TRUE(RunEventLoopUntil([this] { return !Dlg().m_bConnected; }, 20s));
    const double seconds = sinceLastDatagram.elapsed() / 1000.0;
    const double cpuShare =
        std::chrono::duration<double>(ProcessCpuTime() - cpuAtStart).count() / seconds;
    typing.stop();
    std::printf("timed out %.2f s after the last datagram; CPU %.1f%%; longest stall %lld ms\n",
                seconds, cpuShare * 100, static_cast<long long>(probe.LongestStallMs()));

    // The datagram came in up to one poll period before it was seen as handled,
    EXPECT_GE(seconds, 11.0 - 0.1);
    EXPECT_LE(seconds, 12.0 + 0.75); // and timers run late on a busy machine
    EXPECT_LT(cpuShare, 0.2) << "the dead link or the idle timers keep the CPU busy";
    EXPECT_LT(probe.LongestStallMs(), 100);
    ExpectDisconnectedControls(Dlg());
    EXPECT_EQ(LastLine(Log()), "Disconnected: Connection timed out.");
    EXPECT_EQ(server.WaitForExit(), 128 + SIGKILL);

    DemoServerProcess fresh(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(fresh.Start(kStillGame)) << fresh.Output();
    Dlg().m_portEdit->setText(QString::number(fresh.Port()));
    Dlg().OnConnect();
    EXPECT_TRUE(RunEventLoopUntil(
        [this] { return Dlg().m_bConnected && Dlg().m_playerList->count() == 3; }, 5s));
}

TEST_F(WindowFaultTest, AnAddressThatCannotWorkShowsItsBoxAndChangesNothingElse) {
    struct Case {
        QString host, port;
        const char* box;
        bool clientMade; // the input passed the window's checks; the lookup failed
    };
    const Case cases[] = {
        {"no-such-host.invalid", "27888", strings::CONNECT_FAILED, true},
        {" ", "27888", strings::CONNECT_FAILED, true},
        {"", "27888", strings::INVALID_HOST_OR_PORT, false},
        {"127.0.0.1", "99999999999999999999", strings::INVALID_HOST_OR_PORT, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("host '" + c.host.toStdString() + "', port '" + c.port.toStdString() + "'");
        dlg.reset();
        boxes.texts.clear();
        FillIn(c.host, c.port);
        Dlg().OnConnect();

        EXPECT_EQ(boxes.texts, std::vector<std::string>{c.box});
        ExpectDisconnectedControls(Dlg());
        EXPECT_EQ(Log(), "");
        for (unsigned id : kTimers) {
            EXPECT_FALSE(Dlg().m_timers.IsRunning(id)) << "timer " << id;
        }
        ASSERT_EQ(Dlg().m_pClient != nullptr, c.clientMade);
        if (c.clientMade) {
            EXPECT_FALSE(Dlg().m_pClient->loginPending);
            EXPECT_FALSE(Dlg().m_pClient->link->isOpen);
        }
    }
}

} // namespace
