// The main loop between ticks: datagrams are drained as they arrive, the poll tick still drains
// when notifications are lost, and the refresh tick runs only while something waits to be shown.
#include "AdminDlgFixture.h"

namespace {

using namespace std::chrono_literals;

// A chat line from player 3, as the server sends it.
Bytes Chat(std::string_view text) {
    return wire::EncodeServerChat(3, 0, text);
}

QSocketNotifier* LinkNotifier(CAdminDlg& dlg) {
    return dlg.findChild<QSocketNotifier*>();
}

TEST_F(RealTimeWindowTest, DatagramsAreHandledOnArrivalWithoutAPollTick) {
    PressConnect();
    Dlg().m_session->Timers().KillTimer(TIMER_POLL);
    server.Send(wire::EncodeWelcome({{3, 25, "Bob"}}));
    ASSERT_TRUE(
        RunEventLoopUntil([this] { return Dlg().m_playerList->topLevelItemCount() == 1; }, 5s));
    EXPECT_EQ(Shown(), "Disconnect+ 0000 11111 1");
    server.Send(wire::EncodePlayerJoin(9, "Eve"));
    EXPECT_TRUE(RunEventLoopUntil([this] { return Log().contains("Eve has joined"); }, 5s));
    EXPECT_FALSE(Dlg().m_session->Timers().IsRunning(TIMER_POLL));
}

TEST_F(RealTimeWindowTest, PollTickStillDrainsWhenNotificationsAreLost) {
    PressConnect();
    QSignalBlocker lost(LinkNotifier(Dlg()));
    server.Send(wire::EncodeWelcome({{3, 25, "Bob"}}));
    EXPECT_TRUE(
        RunEventLoopUntil([this] { return Dlg().m_playerList->topLevelItemCount() == 1; }, 5s));
}

// A box opened while draining runs the event loop: what arrives meanwhile is drained and shown
// from inside it, in the order it arrived.
TEST_F(RealTimeWindowTest, DatagramArrivingWhileABoxIsOpenIsHandledInsideIt) {
    LogIn();
    Dlg().m_session->Timers().KillTimer(TIMER_POLL);
    bool shownInsideTheBox = false;
    boxes.insideNextBox = [&] {
        server.Send(Chat("sent while the box is open"));
        shownInsideTheBox =
            RunEventLoopUntil([this] { return Log().contains("while the box"); }, 5s);
    };
    server.Send(wire::EncodeRemoveIpResult(0));
    server.Send(Chat("queued behind the box"));
    ASSERT_TRUE(RunEventLoopUntil([this] { return !boxes.texts.empty(); }, 5s));
    EXPECT_TRUE(shownInsideTheBox);
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"IP could not be removed."});
    EXPECT_TRUE(Log().endsWith("Player #3: queued behind the box\nPlayer #3: sent while the box is "
                               "open\n"))
        << Log().toStdString();
    EXPECT_TRUE(Dlg().m_bConnected);
}

TEST_F(AdminDlgTest, RefreshTickRunsOnlyWhileSomethingWaits) {
    LogIn({{3, 25, "Bob"}});
    const auto armed = [this] { return Dlg().m_session->Timers().IsRunning(TIMER_UI_REFRESH); };
    EXPECT_FALSE(armed()) << "idle after the welcome was drawn";
    struct Case {
        const char* name;
        Bytes datagram;
    } const cases[] = {
        {"log line", Chat("hello")},
        {"roster change", wire::EncodePlayerValue(3, 7)},
        {"list text", wire::EncodeListText("1.2.3.4")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerSends(c.datagram);
        EXPECT_TRUE(armed());
        EXPECT_EQ(Dlg().m_session->Timers().PeriodOf(TIMER_UI_REFRESH),
                  CWindowTimers::MIN_PERIOD_MS);
        Dlg().OnTimer(TIMER_UI_REFRESH);
        EXPECT_FALSE(armed());
    }
    ServerSends(wire::EncodePing()); // answered, nothing to show
    EXPECT_FALSE(armed());
    EXPECT_TRUE(Log().endsWith("Connected.\nBob: hello\n")) << Log().toStdString();
}

} // namespace
