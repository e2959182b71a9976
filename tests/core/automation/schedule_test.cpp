#include <gmock/gmock.h>

#include "tests/core/automation/AutomationTesting.h"

namespace {

using std::chrono::hours;
using std::chrono::minutes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using ScheduleTest = AutomationTest;

std::vector<WallTime> TimesOf(const std::vector<Seen>& seen, AutomationOutputType type) {
    std::vector<WallTime> times;
    for (const Seen& each : seen) {
        if (each.out.type == type) {
            times.push_back(each.at);
        }
    }
    return times;
}

TEST_F(ScheduleTest, LocalTimesAcrossDaylightSavingChanges) {
    struct Case {
        LocalDate date;
        ClockTime time;
        WallTime expected;
    };
    const Case cases[] = {
        {{2024, 6, 1}, {2, 30}, Utc(2024, 6, 1, 0, 30)},     // summer time
        {{2024, 1, 15}, {2, 30}, Utc(2024, 1, 15, 1, 30)},   // winter time
        {{2024, 3, 31}, {2, 30}, Utc(2024, 3, 31, 1, 0)},    // skipped: the jump to 03:00
        {{2024, 3, 31}, {2, 0}, Utc(2024, 3, 31, 1, 0)},     // skipped from its first minute
        {{2024, 3, 31}, {3, 0}, Utc(2024, 3, 31, 1, 0)},     // the first time after the jump
        {{2024, 10, 27}, {2, 30}, Utc(2024, 10, 27, 0, 30)}, // twice: the first of the two
        {{2024, 10, 27}, {3, 0}, Utc(2024, 10, 27, 2, 0)},
        {{2024, 12, 31}, {23, 59}, Utc(2024, 12, 31, 22, 59)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FirstOccurrence(c.date, c.time), c.expected)
            << c.date.year << "-" << c.date.month << "-" << c.date.day << " " << c.time.hour;
    }
}

TEST_F(ScheduleTest, ADailyTimeTheClockSkipsRunsOnceAtTheJump) {
    now = Local(2024, 3, 29, 12, 0);
    Use("[[schedule]]\nname = 'night'\ndaily = '02:30'\nsay = 'It is {time}'\n");
    automation.SessionStarted();
    const std::vector<Seen> seen = RunUntil(Local(2024, 4, 2, 12, 0));
    EXPECT_THAT(TimesOf(seen, AutomationOutputType::Say),
                ElementsAre(Local(2024, 3, 30, 2, 30), Utc(2024, 3, 31, 1, 0),
                            Local(2024, 4, 1, 2, 30), Local(2024, 4, 2, 2, 30)));
    EXPECT_EQ(seen[1].out.text, "It is 03:00");
}

TEST_F(ScheduleTest, ADailyTimeTheClockShowsTwiceRunsOnce) {
    now = Local(2024, 10, 26, 12, 0);
    Use("[[schedule]]\nname = 'night'\ndaily = '02:30'\nsay = 'It is {time}'\n");
    automation.SessionStarted();
    const std::vector<Seen> seen = RunUntil(Local(2024, 10, 29, 12, 0));
    EXPECT_THAT(TimesOf(seen, AutomationOutputType::Say),
                ElementsAre(Utc(2024, 10, 27, 0, 30), Local(2024, 10, 28, 2, 30),
                            Local(2024, 10, 29, 2, 30)));
}

TEST_F(ScheduleTest, ARepeatRunsOnlyWhileEnoughPlayersAreOn) {
    Use("[[schedule]]\nname = 'ad'\nevery_minutes = 30\nmin_players = 4\nsay = '{players} on'\n");
    automation.SessionStarted();
    automation.SetPlayerCount(5);
    std::vector<Seen> seen = RunUntil(now + hours(24));
    ASSERT_EQ(seen.size(), 48u);
    EXPECT_EQ(seen.front().at, Local(2024, 6, 1, 12, 30));
    EXPECT_EQ(seen.front().out.text, "5 on");
    // A reconnect keeps the beat.
    automation.SessionEnded();
    EXPECT_TRUE(RunUntil(now + minutes(10)).empty());
    automation.SessionStarted();
    seen = RunUntil(now + minutes(30));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].at, Local(2024, 6, 2, 12, 30));
    automation.SetPlayerCount(3);
    EXPECT_TRUE(RunUntil(now + hours(2)).empty());
}

TEST_F(ScheduleTest, AClockJumpFiresNoBurstAndGoingBackFiresNothingAgain) {
    Use("[[schedule]]\nname = 'ad'\nevery_minutes = 10\nsay = 'ad at {time}'\n"
        "[[schedule]]\nname = 'noon'\ndaily = '12:30'\nsay = 'lunch'\n");
    automation.SessionStarted();
    RunUntil(Local(2024, 6, 1, 12, 5));
    // Asleep from 12:05 to 17:05: the repeat runs once on waking, the daily line is too late.
    now = Local(2024, 6, 1, 17, 5);
    automation.Tick();
    EXPECT_THAT(Logs(Take()),
                ElementsAre("say: ad at 17:05 (rule ad)",
                            HasSubstr("skipped \"noon\": it was due at 12:30, 275 minutes ago")));
    EXPECT_EQ(
        Logs(RunUntil(Local(2024, 6, 1, 17, 30))),
        (std::vector<std::string>{"say: ad at 17:15 (rule ad)", "say: ad at 17:25 (rule ad)"}));

    // The next day at 12:35 the clock is set back to 12:00: lunch is not announced again, and
    // the repeat keeps its 10 minutes from the change.
    automation.SetRuleEnabled("ad", false);
    RunUntil(Local(2024, 6, 2, 12, 35));
    automation.SetRuleEnabled("ad", true);
    now = Local(2024, 6, 2, 12, 0);
    EXPECT_EQ(Logs(RunUntil(Local(2024, 6, 2, 13, 0))),
              (std::vector<std::string>{"say: ad at 12:10 (rule ad)", "say: ad at 12:20 (rule ad)",
                                        "say: ad at 12:30 (rule ad)", "say: ad at 12:40 (rule ad)",
                                        "say: ad at 12:50 (rule ad)"}));
    const std::vector<AutomationRuleState> rules = automation.Rules();
    EXPECT_EQ(rules[1].hits, 1u); // lunch on June 2nd only: June 1st was skipped
    EXPECT_EQ(rules[1].lastRun, Local(2024, 6, 2, 12, 30));
    EXPECT_EQ(rules[1].nextRun, Local(2024, 6, 3, 12, 30));
}

TEST_F(ScheduleTest, ACountdownSaysTheMinutesLeftAndEndsWithTheShutdown) {
    now = Local(2024, 6, 1, 3, 0);
    Use("[[schedule]]\nname = 'restart'\ncountdown = '04:00'\nminutes_before = [15, 5, 1]\n"
        "say = 'Restart in {minutes} min'\nshutdown = true\nconfirm = true\n");
    automation.SessionStarted();
    std::vector<Seen> seen = RunUntil(Local(2024, 6, 2, 4, 10));
    ASSERT_EQ(seen.size(), 8u);
    const std::pair<WallTime, const char*> expected[] = {
        {Local(2024, 6, 1, 3, 45), "say: Restart in 15 min (rule restart)"},
        {Local(2024, 6, 1, 3, 55), "say: Restart in 5 min (rule restart)"},
        {Local(2024, 6, 1, 3, 59), "say: Restart in 1 min (rule restart)"},
        {Local(2024, 6, 1, 4, 0), "ask the server to shut down (rule restart)"},
    };
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(seen[i].at, expected[i % 4].first + hours(i < 4 ? 0 : 24));
        EXPECT_EQ(seen[i].out.log, expected[i % 4].second);
    }
    EXPECT_EQ(seen[3].out.type, AutomationOutputType::Shutdown);

    // Joined at 03:57: the lines already past are not made up.
    automation.SessionEnded();
    now = Local(2024, 6, 3, 3, 57);
    automation.SessionStarted();
    EXPECT_THAT(Logs(RunUntil(Local(2024, 6, 3, 4, 1))),
                ElementsAre(HasSubstr("1 min"), HasSubstr("shut down")));

    // A jump over two lines says only the last, with the minutes really left.
    now = Local(2024, 6, 4, 3, 50);
    automation.SessionStarted();
    now = Local(2024, 6, 4, 3, 58, 30);
    automation.Tick();
    EXPECT_THAT(Logs(Take()), ElementsAre("say: Restart in 2 min (rule restart)"));

    // Waking long after the time: no late shutdown, and the countdown carries on tomorrow.
    now = Local(2024, 6, 4, 5, 0);
    automation.Tick();
    EXPECT_THAT(Logs(Take()), ElementsAre(HasSubstr("skipped \"restart\": it was due at 04:00")));
    EXPECT_EQ(automation.Rules()[0].nextRun, Local(2024, 6, 5, 3, 45));
}

TEST_F(ScheduleTest, NothingRunsOutsideASessionOrOnceItsDayHasPassed) {
    Use("[[schedule]]\nname = 'ad'\nevery_minutes = 10\nsay = 'ad'\n"
        "[[schedule]]\nname = 'party'\ncountdown = '2024-05-01 20:00'\nminutes_before = [5]\n"
        "say = 'party in {minutes}'\n");
    EXPECT_TRUE(RunUntil(now + hours(1)).empty());
    EXPECT_EQ(automation.Rules()[1].nextRun, std::nullopt);

    automation.SessionStarted();
    automation.SetDryRun(true);
    EXPECT_THAT(Logs(RunUntil(now + minutes(10))), ElementsAre("would say: ad (rule ad)"));
    automation.SetEnabled(false);
    EXPECT_TRUE(RunUntil(now + hours(1)).empty());
    EXPECT_EQ(automation.Rules()[0].nextRun, std::nullopt);
}

} // namespace
