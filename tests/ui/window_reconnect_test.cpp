// Reconnecting by itself: which endings start it and which end it, what the admin sees while the
// window waits, and attempts against the demo server stopped and restarted on the same port.
#include <signal.h>

#include "AdminDlgFixture.h"
#include "tests/support/DemoServerProcess.h"
#include "tests/support/ProcessStats.h"
#include "ui/Preferences.h"

namespace {

using namespace std::chrono_literals;

const QString kWaiting = "Disconnect 0000 00000 0";
const QString kLost = "Disconnected: Connection timed out.\nReconnecting in 2 s...\n";

class ReconnectTest : public AdminDlgTest {
  protected:
    // Eleven silent watchdog ticks and one more end the session (the first still hears the login).
    void WatchdogLapses() {
        for (int tick = 0; tick < WATCHDOG_SILENT_TICKS + 2; ++tick) {
            Dlg().OnTimer(TIMER_WATCHDOG);
        }
    }
    bool Waiting() { return Dlg().m_session->ReconnectTimer()->isActive(); }
};

// Shown at its real size, on its own timers: run alone.
class RealTimeReconnectTest : public ReconnectTest {
  protected:
    RealTimeReconnectTest() { Dlg().show(); }
};

TEST_F(ReconnectTest, OnlySilenceStartsReconnectingAfterALoggedInSession) {
    struct Case {
        const char* name;
        std::function<void()> before; // while logged in
        bool reconnects;
    } const cases[] = {
        {"silence", [] {}, true},
        {"silence after the first shutdown request",
         [this] { ServerSends(wire::EncodeKillServerStatus(1)); }, true},
        {"silence after a confirmed shutdown",
         [this] { ServerSends(wire::EncodeKillServerStatus(3)); }, false},
        {"a refusal", [this] { ServerSends(wire::EncodeRefused(5)); }, false},
        {"the admin's Disconnect", [this] { Dlg().OnConnect(); }, false},
        {"the box unchecked", [this] { Dlg().m_reconnectCheck->setChecked(false); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlg.reset();
        Dlg().m_reconnectCheck->setChecked(true);
        LogIn();
        c.before();
        Dlg().OnTimer(TIMER_UI_REFRESH);
        WatchdogLapses();
        EXPECT_EQ(Log().endsWith(kLost), c.reconnects) << Log().toStdString();
        EXPECT_EQ(Waiting(), c.reconnects);
        EXPECT_EQ(Shown(), c.reconnects ? kWaiting : kIdle);
        EXPECT_EQ(Runs().back().second, c.reconnects ? QColor(0, 51, 153) : QColor(153, 0, 0));
    }
}

TEST_F(ReconnectTest, WhatEndsTheWaitingAndWhatFollowsAnAttempt) {
    const auto attempt = [this] {
        Dlg().OnReconnectDue();
        ASSERT_EQ(server.ReceiveOfType(MSG_LOGIN), wire::EncodeLogin("admin", "admin"));
    };
    struct Case {
        const char* name;
        std::function<void()> whileWaiting;
        QString logAfterLoss, shown;
        bool waiting;
    } const cases[] = {
        {"Disconnect pressed", [this] { Dlg().OnConnect(); }, "Reconnecting stopped.\n", kIdle,
         false},
        {"box unchecked", [this] { Dlg().m_reconnectCheck->setChecked(false); },
         "Reconnecting stopped.\n", kIdle, false},
        {"fields changed",
         [this] {
             Dlg().m_passwordEdit->setText("other");
             Dlg().OnReconnectDue();
         },
         "Reconnecting stopped: the login fields changed.\n", kIdle, false},
        {"attempt times out",
         [&] {
             attempt();
             Dlg().OnTimer(TIMER_CONNECT_TIMEOUT);
         },
         "Connecting...\nDisconnected: Connection timed out.\nReconnecting in 4 s...\n", kWaiting,
         true},
        {"attempt refused",
         [&] {
             attempt();
             ServerSends(wire::EncodeRefused(4));
         },
         "Connecting...\nDisconnected: Invalid username or password.\n", kIdle, false},
        {"attempt logs in",
         [&] {
             attempt();
             ServerSends(wire::EncodeWelcome({{3, 25, "Bob"}}));
             Dlg().OnTimer(TIMER_UI_REFRESH);
         },
         "Connecting...\nConnected.\n", "Disconnect+ 0000 11111 1", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dlg.reset();
        Dlg().m_reconnectCheck->setChecked(true);
        LogIn();
        WatchdogLapses();
        ASSERT_TRUE(Log().endsWith(kLost));
        c.whileWaiting();
        EXPECT_EQ(Log().section(kLost, 1), c.logAfterLoss);
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(Waiting(), c.waiting);
    }
}

// The session is lost while a box the client opened runs nested ticks: the attempt waits until
// the box has closed, as it replaces the client that the outer tick is still inside.
TEST_F(ReconnectTest, AttemptDueInsideABoxWaitsForItToClose) {
    LogIn();
    int attemptsInside = -1;
    boxes.insideNextBox = [&] {
        WatchdogLapses();
        Dlg().OnReconnectDue();
        attemptsInside = Log().count("Connecting...") - 1;
    };
    server.Send(wire::EncodeRemoveIpResult(0));
    ASSERT_TRUE(PollUntil([&] { return attemptsInside >= 0; }));
    EXPECT_EQ(attemptsInside, 0);
    EXPECT_TRUE(Waiting());
    Dlg().OnReconnectDue();
    EXPECT_EQ(server.ReceiveOfType(MSG_LOGIN), wire::EncodeLogin("admin", "admin"));
}

// Remembered in the window's preferences, never in vyr.ini; next after Connect in the tab order.
TEST_F(ReconnectTest, TheBoxIsOnByDefaultAndRemembered) {
    EXPECT_EQ(Dlg().m_connectButton->nextInFocusChain(), Dlg().m_reconnectCheck);
    EXPECT_TRUE(Dlg().m_reconnectCheck->isChecked());
    Dlg().m_reconnectCheck->setChecked(false);
    dlg.reset();
    EXPECT_FALSE(Dlg().m_reconnectCheck->isChecked());
    EXPECT_FALSE(CPreferences().Bool(CPreferences::Key::Reconnect));
    dlg.reset();
    EXPECT_FALSE(ReadFile(IniPath()).contains("econnect"));
}

TEST_F(ReconnectTest, DemoServerRestartedOnTheSamePortThenRefusingTheReconnect) {
    const std::vector<std::string> game{"--players", "3", "--rate", "0"};
    auto server = std::make_unique<DemoServerProcess>(VYR_DEMO_SERVER_PATH);
    ASSERT_TRUE(server->Start(game)) << server->Output();
    const std::string port = std::to_string(server->Port());
    FillIn("127.0.0.1", QString::fromStdString(port));
    Dlg().OnConnect();
    ASSERT_TRUE(PollUntil([this] { return Dlg().m_bConnected; }));

    // Stopped, then back on the same port: the next attempt logs in with a fresh roster.
    const auto restart = [&](std::vector<std::string> args) {
        ASSERT_TRUE(server->Signal(SIGKILL));
        ASSERT_TRUE(server->WaitForExit());
        Dlg().m_log->clear();
        WatchdogLapses();
        ASSERT_EQ(Log(), kLost);
        server = std::make_unique<DemoServerProcess>(VYR_DEMO_SERVER_PATH);
        args.insert(args.end(), {"--port", port});
        ASSERT_TRUE(server->Start(args)) << server->Output();
        Dlg().OnReconnectDue();
    };
    restart(game);
    ASSERT_TRUE(PollUntil([this] { return Dlg().m_bConnected; }));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Log(), kLost + "Connecting...\nConnected.\n");
    EXPECT_EQ(Shown(), "Disconnect+ 0000 11111 3");

    // Back with another password: its refusal ends the reconnecting.
    std::vector<std::string> otherPassword = game;
    otherPassword.insert(otherPassword.end(), {"--password", "changed"});
    restart(otherPassword);
    ASSERT_TRUE(PollUntil([this] { return !Dlg().m_pClient->loginPending; }));
    Dlg().OnTimer(TIMER_UI_REFRESH);
    EXPECT_EQ(Log(), kLost + "Connecting...\nDisconnected: Invalid username or password.\n");
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Invalid username or password."});
    EXPECT_EQ(Shown(), kIdle);
    EXPECT_FALSE(Waiting());
}

// Reconnect attempts to a port that answers each login with "port unreachable": the error wakes
// the window once and is consumed; between attempts the window sleeps.
TEST_F(RealTimeReconnectTest, AttemptsToAClosedPortDoNotSpin) {
    LogIn();
    server.Close();
    WatchdogLapses();
    QElapsedTimer took;
    took.start();
    const auto cpuAtStart = ProcessCpuTime();
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(Waiting()) << Log().toStdString();
        Dlg().OnReconnectDue();
        RunEventLoopUntil([] { return false; }, 1s);
        Dlg().OnTimer(TIMER_CONNECT_TIMEOUT);
    }
    const double cpuShare = std::chrono::duration<double>(ProcessCpuTime() - cpuAtStart).count() /
                            (took.elapsed() / 1000.0);
    EXPECT_LT(cpuShare, 0.2) << "the unreachable port keeps the window busy";
    EXPECT_EQ(Log().count("Connecting..."), 4);
    EXPECT_TRUE(Waiting());
}

} // namespace
