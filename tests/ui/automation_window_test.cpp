// A page's automation: the server's rules file found by host and port, chat answered on the
// server, its lines in the log in their own colour and mark, the Automation window's switches,
// and a file with errors said with its place while nothing of it runs.
#include <QtTest>
#include <atomic>
#include <iostream>
#include <thread>

#include "AdminDlgFixture.h"
#include "core/CoreTexts.h"
#include "ui/AutomationWindow.h"
#include "ui/PageAutomation.h"

namespace {

using namespace std::chrono_literals;

class AutomationWindowTest : public AdminDlgTest {
  protected:
    QString RulesPath() const {
        return configDir.filePath("vyr/automation/127.0.0.1_" + QString::number(server.Port()) +
                                  ".toml");
    }
    void WriteRules(const QByteArray& rules) {
        QDir().mkpath(QFileInfo(RulesPath()).path());
        WriteFile(RulesPath(), rules);
    }
    // The chat line reaches the client, and automation's next tick answers it on the server.
    std::optional<Bytes> AnswerTo(const std::string& chat) {
        ServerSends(wire::EncodeServerChat(4, 0, chat));
        std::optional<Bytes> answer;
        RunEventLoopUntil(
            [&] {
                if (!answer) {
                    answer = server.ReceiveOfType(MSG_CHAT, 20ms);
                }
                return answer.has_value();
            },
            3s);
        return answer;
    }
};

// Shown at its real size, on its own timers, as the admin has it open.
class RealTimeAutomationTest : public AutomationWindowTest {
  protected:
    RealTimeAutomationTest() { Dlg().show(); }
};

TEST_F(AutomationWindowTest, ChatIsAnsweredAndTheLineStandsOut) {
    WriteRules("[[trigger]]\nname = 'rules'\npattern = '^!rules'\naction = 'say'\n"
               "say = 'No cheats, {name}.'\ncooldown_seconds = 0\n");
    LogIn({{4, 0, "Ann"}});
    EXPECT_EQ(AnswerTo("!rules"), wire::EncodeChat("No cheats, Ann.")) << Log().toStdString();
    Dlg().OnTimer(TIMER_UI_REFRESH);
    bool marked = false;
    for (const auto& [text, colour] : Runs()) {
        marked = marked || (text.startsWith(AUTOMATION_MARK) &&
                            colour == QColor(RedOf(COLOUR_AUTOMATION), GreenOf(COLOUR_AUTOMATION),
                                             BlueOf(COLOUR_AUTOMATION)));
    }
    EXPECT_TRUE(marked) << Log().toStdString();

    // The rule's switch in the window: off, nothing is said.
    CAutomationWindow* window = Dlg().findChild<CAutomationWindow*>();
    ASSERT_NE(window, nullptr);
    Dlg().m_automation->ShowWindow();
    ASSERT_EQ(window->m_rules->rowCount(), 1);
    window->m_rules->item(0, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(AnswerTo("!rules"), std::nullopt);
    window->m_rules->item(0, 0)->setCheckState(Qt::Checked);
    window->m_dryRun->setChecked(true);
    EXPECT_EQ(AnswerTo("!rules"), std::nullopt);
    EXPECT_TRUE(Log().contains("would say")) << Log().toStdString();
}

TEST_F(AutomationWindowTest, AFileWithErrorsIsSaidWithItsPlaceAndTheOldRulesStay) {
    WriteRules("[[trigger]]\nname = 'rules'\npattern = '^!rules'\naction = 'say'\n"
               "say = 'Read the rules.'\ncooldown_seconds = 0\n");
    LogIn({{4, 0, "Ann"}});
    WriteRules("[[trigger]]\nname = 'rules'\npattern = '(unclosed'\naction = 'say'\nsay = 'x'\n");
    CAutomationWindow* window = Dlg().findChild<CAutomationWindow*>();
    emit window->reloadRequested();
    EXPECT_TRUE(window->m_status->text().contains(":3:")) << window->m_status->text().toStdString();
    EXPECT_TRUE(Log().contains("automation: " + RulesPath() + ":3:")) << Log().toStdString();
    EXPECT_EQ(AnswerTo("!rules"), wire::EncodeChat("Read the rules."));
}

// 10,000 chat lines a second that all match a kick trigger, for 10 s: automation acts no more
// than its cap allows, and the window keeps turning.
TEST_F(RealTimeAutomationTest, AChatFloodNeitherSpamsTheServerNorStallsTheWindow) {
    WriteRules("[[trigger]]\nname = 'cheat'\npattern = 'aimbot'\naction = 'kick'\n"
               "reason = 'cheat talk'\ncooldown_seconds = 0\n");
    std::vector<wire::PlayerEntry> players;
    for (std::uint8_t id = 0; id < 60; ++id) {
        players.push_back({id, 0, "P" + std::to_string(id)});
    }
    LogIn(players);
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        const Bytes line = wire::EncodeServerChat(7, 0, "aimbot aimbot");
        auto next = std::chrono::steady_clock::now();
        for (int batch = 0; batch < 1000 && flooding; ++batch) { // 100 lines every 10 ms
            for (int i = 0; i < 100; ++i) {
                server.Send(line);
            }
            next += 10ms;
            std::this_thread::sleep_until(next);
        }
    });
    qint64 stallMs = 0;
    RunEventLoopUntil([] { return false; }, 10s, &stallMs);
    flooding = false;
    flood.join();
    RunEventLoopUntil([] { return false; }, 1500ms); // the last tick's actions
    int kicks = 0;
    for (const Bytes& datagram : server.Drain()) {
        kicks += datagram.at(0) == MSG_KICK;
    }
    RecordProperty("longest_stall_ms", static_cast<int>(stallMs));
    std::cout << "chat flood: " << kicks << " kicks, longest stall " << stallMs << " ms\n";
    EXPECT_GE(kicks, 1);
    EXPECT_LE(kicks, 20); // the default cap: 20 actions a minute
    EXPECT_LT(stallMs, 1000);
    EXPECT_EQ(Log().count("automation paused"), 1) << "said once";
}

} // namespace
