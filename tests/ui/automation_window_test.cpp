// A page's automation: the server's rules file found by host and port, chat answered on the
// server, its lines in the log in their own colour and mark, the Automation window's switches,
// and a file with errors said with its place while nothing of it runs.
#include <QtTest>

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

} // namespace
