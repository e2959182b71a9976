// What automation asks of the server, carried out on a real client and link: a kick reaches the
// player with that id and name only, and nothing goes out while there is no session.
#include "core/automation/AutomationSession.h"

#include <gtest/gtest.h>

#include "core/automation/RulesFile.h"
#include "tests/engine/AdminClientFixture.h"

namespace {

using namespace std::chrono_literals;

class AutomationSessionTest : public AdminClientTest {
  protected:
    void SetUp() override {
        AdminClientTest::SetUp();
        RulesFileResult rules =
            ParseRulesFile("[[trigger]]\nname = 'cheat'\npattern = 'aimbot'\naction = 'kick'\n"
                           "reason = 'cheat talk'\ncooldown_seconds = 0\n",
                           "rules.toml");
        ASSERT_TRUE(rules.rules) << rules.error.ToString();
        automation.Install(std::move(*rules.rules));
        client.onEvent = [this](const ClientEvent& event) { session.Observe(event); };
    }
    std::vector<AutomationOutput> Step() {
        return session.Step(client, CAutomationSession::Clock::now());
    }

    CAutomation automation;
    CAutomationSession session{automation};
};

TEST_F(AutomationSessionTest, AKickGoesToThePlayerWhoSaidItWhileHeIsThere) {
    LogIn({{4, 0, "Ann"}, {5, 0, "Bob"}});
    session.Connected();
    Handle(wire::EncodeServerChat(5, 0, "aimbot!"));
    ASSERT_EQ(Step().size(), 1u);
    EXPECT_EQ(server.ReceiveOfType(MSG_KICK), wire::EncodeKick(5));

    // Bob said it and left; the slot went to someone else before automation's step.
    Handle(wire::EncodeServerChat(5, 0, "aimbot again"));
    Handle(wire::EncodePlayerLeave(0, 5));
    Handle(wire::EncodePlayerJoin(5, "Cy"));
    const std::vector<AutomationOutput> gone = Step();
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_NE(gone[0].log.find("Bob (#5) is no longer on the server"), std::string::npos)
        << gone[0].log;
    EXPECT_FALSE(server.ReceiveOfType(MSG_KICK, 200ms));
}

TEST_F(AutomationSessionTest, NothingGoesOutBetweenSessions) {
    LogIn({{5, 0, "Bob"}});
    session.Connected();
    Handle(wire::EncodeServerChat(5, 0, "aimbot"));
    session.Disconnected();
    const std::vector<AutomationOutput> out = Step();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].log.rfind("not connected: ", 0), 0u) << out[0].log;
    EXPECT_FALSE(server.ReceiveOfType(MSG_KICK, 200ms));
}

} // namespace
