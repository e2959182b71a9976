#include <fstream>

#include <gmock/gmock.h>

#include "engine/ClientEvent.h"
#include "engine/Protocol.h"
#include "tests/core/automation/AutomationTesting.h"

namespace {

using std::chrono::microseconds;
using std::chrono::seconds;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class TriggerTest : public AutomationTest {
  protected:
    std::vector<std::string> Chat(std::uint8_t id, std::string_view name, std::uint8_t kind,
                                  std::string_view text) {
        automation.OnChat(id, name, kind, text);
        return Logs(Take());
    }
    int Count(AutomationOutputType type) {
        int count = 0;
        for (const AutomationOutput& out : Take()) {
            count += out.type == type ? 1 : 0;
        }
        return count;
    }
};

TEST_F(TriggerTest, ChatTriggersMatchTheirKindsCaseInsensitivelyUnlessAsked) {
    Use("[[trigger]]\nname = 'cheat'\npattern = 'aimbot'\naction = 'kick'\nreason = 'said "
        "{match}'\n"
        "[[trigger]]\nname = 'gg'\npattern = '^GG$'\ncase_sensitive = true\nkinds = ['team']\n"
        "action = 'say'\nsay = 'gg {name}'\n"
        "[[trigger]]\nname = 'watch'\npattern = 'restart'\nkinds = ['server']\n"
        "action = 'attention'\nreason = 'the server said {match}'\n"
        "[[trigger]]\nname = 'cafe'\npattern = 'caf\xc3\xa9'\naction = 'note'\n"
        "note = '{name}: {match}'\n");
    automation.SessionStarted();
    EXPECT_THAT(Chat(1, "Bob", 0, "I use AIMBOT"),
                ElementsAre("kick Bob (#1): said AIMBOT (rule cheat)"));
    EXPECT_THAT(Chat(2, "Ann", CHAT_KIND_TEAM, "gg"), IsEmpty());
    EXPECT_THAT(Chat(2, "Ann", 0, "GG"), IsEmpty());
    EXPECT_THAT(Chat(2, "Ann", CHAT_KIND_TEAM, "GG"), ElementsAre("say: gg Ann (rule gg)"));
    EXPECT_THAT(Chat(0, "", CHAT_KIND_SERVER, "aimbot restart soon"),
                ElementsAre("ask for attention: the server said restart (rule watch)"));
    EXPECT_THAT(Chat(3, "Zo\xeb", 0, "CAF\xc9 au lait"),
                ElementsAre("note on Zo\xc3\xab (#3): Zo\xc3\xab: CAF\xc3\x89 (rule cafe)"));

    // The client's events carry the same.
    automation.OnEvent({event::Chat{event::Player{4, "Eve"}, 0, "aimbot?"}, {}});
    const std::vector<AutomationOutput> out = Take();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].type, AutomationOutputType::Kick);
    EXPECT_EQ(out[0].playerId, 4);
    EXPECT_EQ(out[0].playerName, "Eve");
    EXPECT_EQ(out[0].text, "said aimbot");
}

TEST_F(TriggerTest, JoinTriggersLookAtTheNameAndServerTextIsNeverSentRaw) {
    Use("[[trigger]]\nname = 'welcome'\non = 'join'\naction = 'say'\nsay = 'Hi {name}, {players} "
        "on'\n"
        "[[trigger]]\nname = 'staff'\non = 'join'\npattern = 'admin'\naction = 'kick'\n"
        "say = '{name} kicked'\nreason = 'name {match}'\n");
    automation.SessionStarted();
    automation.SetPlayerCount(7);
    automation.OnEvent({event::PlayerJoined{{5, "Zo\xeb"}}, {}});
    const std::vector<AutomationOutput> out = Take();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].line, "Hi Zo\xeb, 7 on"); // Latin-1 for the wire
    EXPECT_EQ(out[0].text, "Hi Zo\xc3\xab, 7 on");

    // A name with a control character: no line goes out with it, the kick still does, and the
    // log shows the character escaped.
    automation.OnJoin(6, "ADMIN\x07");
    EXPECT_THAT(Logs(Take()),
                ElementsAre("refused to say a line of rule \"welcome\": the line holds characters "
                            "the server cannot receive: U+0007",
                            HasSubstr("the server cannot receive: U+0007"),
                            "kick ADMIN\\x07 (#6): name ADMIN (rule staff)"));
}

TEST_F(TriggerTest, LinesTheWireCannotCarryAreRefused) {
    Use("[[trigger]]\nname = 'echo'\npattern = '^!echo (.*)'\naction = 'say'\nsay = '{match}'\n"
        "cooldown_seconds = 0\n");
    automation.SessionStarted();
    const std::string longest = "!echo " + std::string(MAX_SERVER_LINE - 6, 'a');
    EXPECT_THAT(Chat(1, "Bob", 0, longest), ElementsAre("say: " + longest + " (rule echo)"));
    const std::pair<std::string, const char*> refused[] = {
        {longest + "a", "longer than 128 characters"},
        {"!echo \x1b[2J", "U+001B"},
    };
    for (const auto& [line, problem] : refused) {
        EXPECT_THAT(Chat(1, "Bob", 0, line), ElementsAre(HasSubstr(problem))) << line;
    }
    Use("[[trigger]]\nname = 'echo'\npattern = '/.*'\naction = 'say'\nsay = '{match}'\n");
    EXPECT_THAT(Chat(2, "Ann", 0, "try /removeip 1.2.3.4"),
                ElementsAre(HasSubstr("which the server takes as a command")));
}

TEST_F(TriggerTest, WarningsCountPerPlayerAndSessionThenTheFollowUpActs) {
    const char* rules =
        "[[trigger]]\nname = 'swear'\npattern = 'darn'\naction = 'warn'\nwarnings = 2\n"
        "say = '{name}: warning {warnings}'\nthen = 'ban'\nban_minutes = 60\nreason = 'swearing'\n"
        "then_say = '{name} banned'\ncooldown_seconds = 10\n";
    Use(rules);
    automation.SessionStarted();
    const auto offend = [this](std::uint8_t id, const char* name) {
        now += seconds(11);
        return Chat(id, name, 0, "darn");
    };
    EXPECT_THAT(offend(1, "Bob"), ElementsAre("say: Bob: warning 1 (rule swear)"));
    EXPECT_THAT(offend(2, "Ann"), ElementsAre("say: Ann: warning 1 (rule swear)"));
    EXPECT_THAT(offend(1, "Bob"), ElementsAre("say: Bob: warning 2 (rule swear)"));
    EXPECT_THAT(offend(1, "Bob"),
                ElementsAre("say: Bob banned (rule swear)",
                            "ban Bob (#1) for 60 minutes: swearing (rule swear)"));
    // A new id does not wipe the slate, a reload keeps the count, a new session does.
    Use(rules);
    EXPECT_THAT(offend(9, "Bob"), ElementsAre(HasSubstr("Bob banned"), HasSubstr("ban Bob (#9)")));
    EXPECT_THAT(offend(2, "Ann"), ElementsAre("say: Ann: warning 2 (rule swear)"));
    automation.SessionEnded();
    automation.SessionStarted();
    EXPECT_THAT(offend(1, "Bob"), ElementsAre("say: Bob: warning 1 (rule swear)"));
}

TEST_F(TriggerTest, CooldownsHoldPerPlayerAndPerRule) {
    Use("[[trigger]]\nname = 'spam'\npattern = 'buy'\naction = 'kick'\ncooldown_seconds = 30\n"
        "[[trigger]]\nname = 'rules'\npattern = '^!rules'\naction = 'say'\nsay = 'no spam'\n"
        "cooldown_seconds = 0\nrule_cooldown_seconds = 60\n");
    automation.SessionStarted();
    struct Step {
        int secondsLater;
        std::uint8_t id;
        const char* name;
        const char* text;
        std::size_t actions;
    };
    const Step steps[] = {
        {0, 1, "Bob", "buy gold", 1},  {5, 1, "Bob", "buy gold", 0}, {0, 2, "Ann", "buy", 1},
        {26, 1, "Bob", "buy gold", 1}, {0, 3, "Cid", "!rules", 1},   {30, 4, "Dan", "!rules", 0},
        {0, 3, "Cid", "!rules", 0},    {30, 4, "Dan", "!rules", 1},
    };
    for (const Step& step : steps) {
        now += seconds(step.secondsLater);
        EXPECT_EQ(Chat(step.id, step.name, 0, step.text).size(), step.actions)
            << step.name << " " << step.text;
    }
    const std::vector<AutomationRuleState> rules = automation.Rules();
    EXPECT_EQ(rules[0].hits, 4u);
    EXPECT_EQ(rules[1].hits, 4u);
    EXPECT_EQ(rules[1].lastRun, now);
}

TEST_F(TriggerTest, AChatFloodNeverGetsMoreThanTheCap) {
    Use("[settings]\nactions_per_minute = 20\n"
        "[[trigger]]\nname = 'flood'\npattern = 'spam'\naction = 'kick'\ncooldown_seconds = 0\n");
    automation.SessionStarted();
    // 10,000 matching lines a second for 10 s from a crowd of 200.
    std::vector<AutomationOutput> out;
    for (int i = 0; i < 100000; ++i) {
        now += microseconds(100);
        const std::string name = "p" + std::to_string(i % 200);
        automation.OnChat(static_cast<std::uint8_t>(i % 200), name, 0, "spam spam spam");
        for (AutomationOutput& each : Take()) {
            out.push_back(std::move(each));
        }
    }
    int kicks = 0;
    for (const AutomationOutput& each : out) {
        kicks += each.type == AutomationOutputType::Kick ? 1 : 0;
    }
    EXPECT_EQ(kicks, 20);
    ASSERT_EQ(out.size(), 21u);
    EXPECT_EQ(out.back().log,
              "automation paused: triggers reached their cap of 20 actions a minute; they resume "
              "at 12:01:00");

    // The pause lasts to the end of the minute that began with the first kick.
    now = Local(2024, 6, 1, 12, 0, 59);
    EXPECT_THAT(Chat(1, "p1", 0, "spam"), IsEmpty());
    now = Local(2024, 6, 1, 12, 1, 1);
    EXPECT_THAT(Chat(1, "p1", 0, "spam"),
                ElementsAre("automation resumed; 99981 chat lines and joins were not acted on "
                            "during the pause",
                            "kick p1 (#1) (rule flood)"));
}

TEST_F(TriggerTest, ADryRunOnlySaysWhatWouldBeDone) {
    Use("[settings]\ndry_run = true\n"
        "[[trigger]]\nname = 'cheat'\npattern = 'aimbot'\naction = 'ban'\nban_minutes = 0\n"
        "reason = 'cheating'\nsay = '{name} is out'\n");
    automation.SessionStarted();
    const std::vector<AutomationOutput> out = (automation.OnChat(1, "Bob", 0, "aimbot"), Take());
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].type, AutomationOutputType::Log);
    EXPECT_EQ(out[0].log, "would say: Bob is out (rule cheat)");
    EXPECT_EQ(out[1].type, AutomationOutputType::Log);
    EXPECT_EQ(out[1].log, "would ban Bob (#1) for good: cheating (rule cheat)");
    automation.SetDryRun(false);
    EXPECT_EQ((automation.OnChat(2, "Ann", 0, "aimbot"), Count(AutomationOutputType::Ban)), 1);
}

TEST_F(TriggerTest, PathologicalPatternsStayLinearOnLongLines) {
    Use("[[trigger]]\nname = 'nested'\npattern = '(x+x+)+y'\naction = 'say'\nsay = '{match}'\n"
        "[[trigger]]\nname = 'counted'\npattern = '(.*a){20}'\naction = 'say'\nsay = '{match}'\n"
        "[[trigger]]\nname = 'alternation'\npattern = '(a|aa)*c'\naction = 'kick'\n"
        "reason = '{match}'\n");
    automation.SessionStarted();
    // A backtracking engine would take longer than the universe has on any of these.
    EXPECT_THAT(Chat(1, "Bob", 0, std::string(64 * 1024, 'x')), IsEmpty());
    EXPECT_THAT(Chat(1, "Bob", 0, std::string(64 * 1024, 'x') + "y"),
                ElementsAre(HasSubstr("longer than 128 characters")));
    EXPECT_THAT(Chat(2, "Ann", 0, std::string(64 * 1024, 'a')),
                ElementsAre(HasSubstr("longer than 128 characters")));
    const std::vector<std::string> logs = Chat(3, "Cid", 0, std::string(64 * 1024, 'a') + "c");
    ASSERT_EQ(logs.size(), 2u); // 'counted' refuses its long line, 'alternation' kicks
    EXPECT_EQ(logs[1].size(), std::string("kick Cid (#3): ").size() + 64 * 1024 + 1 +
                                  std::string(" (rule alternation)").size());
}

TEST_F(TriggerTest, SwitchesSessionsAndReloadsDecideWhatRuns) {
    automation.SessionStarted();
    EXPECT_THAT(Chat(1, "Bob", 0, "x"), IsEmpty()); // no rules yet
    automation.OnJoin(1, "Bob");
    automation.SessionEnded();
    Use("[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'kick'\ncooldown_seconds = 0\n"
        "[[trigger]]\nname = 'b'\nenabled = false\npattern = 'x'\naction = 'note'\nnote = 'x'\n"
        "cooldown_seconds = 0\n");
    EXPECT_THAT(Chat(1, "Bob", 0, "x"), IsEmpty()); // no session yet
    automation.SessionStarted();
    EXPECT_THAT(Chat(1, "Bob", 0, "x"), ElementsAre(HasSubstr("kick")));
    EXPECT_TRUE(automation.SetRuleEnabled("b", true));
    EXPECT_TRUE(automation.SetRuleEnabled("a", false));
    EXPECT_FALSE(automation.SetRuleEnabled("c", true));
    EXPECT_THAT(Chat(1, "Bob", 0, "x"), ElementsAre(HasSubstr("note")));
    automation.SetEnabled(false);
    EXPECT_THAT(Chat(1, "Bob", 0, "x"), IsEmpty());
    automation.SetEnabled(true);

    // A file with a mistake changes nothing: the rules in force stay.
    const std::string path = ::testing::TempDir() + "vyr-automation-reload.toml";
    std::ofstream(path) << "[[trigger]]\nname = 'a'\npattern = 'x('\naction = 'kick'\n";
    const std::optional<RulesFileError> error = automation.Load(path);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->ToString(), path + ":3:11: `pattern` is not a valid pattern: missing ): x(");
    EXPECT_THAT(Chat(1, "Bob", 0, "x"), ElementsAre(HasSubstr("note")));
    std::ofstream(path) << "[[trigger]]\nname = 'a'\npattern = 'y'\naction = 'kick'\n";
    EXPECT_EQ(automation.Reload(), std::nullopt);
    EXPECT_THAT(Chat(1, "Bob", 0, "x"), IsEmpty());
    EXPECT_THAT(Chat(2, "Ann", 0, "y"), ElementsAre(HasSubstr("kick Ann")));
    const std::vector<AutomationRuleState> rules = automation.Rules();
    ASSERT_EQ(rules.size(), 1u);
    EXPECT_EQ(rules[0].summary, "chat: y");
    EXPECT_EQ(rules[0].hits, 2u); // one before the reload: kept, for the name is the same
    std::remove(path.c_str());
}

} // namespace
