#include "core/automation/RulesFile.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;

TEST(RulesFileTest, TheDocumentedExampleParses) {
    const RulesFileResult result = LoadRulesFile(VYR_EXAMPLE_RULES);
    ASSERT_TRUE(result.rules) << result.error.ToString();
    EXPECT_EQ(result.rules->schedules.size(), 4u);
    EXPECT_EQ(result.rules->triggers.size(), 6u);
    EXPECT_EQ(result.rules->settings.actionsPerMinute, 20);
    const ScheduleRule& restart = result.rules->schedules[2];
    EXPECT_EQ(restart.type, ScheduleType::Countdown);
    EXPECT_EQ(restart.minutesBefore, (std::vector<int>{15, 5, 1}));
    EXPECT_TRUE(restart.shutdown);
}

struct BadFile {
    const char* text;
    int line;
    int column;
    const char* message; // a part of the expected message
};

TEST(RulesFileTest, EveryProblemIsReportedWithItsPlace) {
    const BadFile cases[] = {
        // The TOML itself.
        {"[[trigger]\nname = 'a'\n", 1, 11, "expected ']'"},
        {"[settings]\ndry_run = true\ndry_run = false\n", 3, 11, "redefine"},
        {"a = \"\xff\"\n", 1, 5, "utf-8"},
        // Tables and keys.
        {"colour = 1\n", 1, 1, "unknown key `colour` in the file"},
        {"[settings]\ndryrun = true\n", 2, 1, "unknown key `dryrun` in [settings]"},
        {"[settings]\ndry_run = 'yes'\n", 2, 11, "`dry_run` must be true or false"},
        {"[settings]\nactions_per_minute = 1\n", 2, 22, "from 2 to 1000"},
        {"settings = 3\n", 1, 12, "[settings] table"},
        {"[schedule]\nname = 'a'\n", 1, 1, "[[schedule]] tables"},
        {"[[schedule]]\nevery_minutes = 5\nsay = 'x'\n", 1, 1, "[[schedule]] needs `name`"},
        {"[[schedule]]\nname = ''\n", 2, 8, "1 to 64 characters"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 5\nsay = 'x'\n[[trigger]]\nname = 'a'\n", 6, 8,
         "another rule is already called \"a\" (line 2)"},
        // Schedules.
        {"[[schedule]]\nname = 'a'\nsay = 'x'\n", 1, 1, "needs one of"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 5\ndaily = '04:00'\n", 4, 9, "only one of"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 0\nsay = 'x'\n", 3, 17, "from 1 to 10080"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 2.5\nsay = 'x'\n", 3, 17, "whole number"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 5\n", 1, 1, "needs `say`"},
        {"[[schedule]]\nname = 'a'\ndaily = '25:00'\nsay = 'x'\n", 3, 9, "time of day"},
        {"[[schedule]]\nname = 'a'\ndaily = 400\nsay = 'x'\n", 3, 9, "text in quotes"},
        {"[[schedule]]\nname = 'a'\ndaily = '04:00'\nmin_players = 2\nsay = 'x'\n", 4, 1,
         "`min_players` has no meaning here: it goes only with every_minutes"},
        {"[[schedule]]\nname = 'a'\ncountdown = '2025-02-30 04:00'\nshutdown = true\n"
         "confirm = true\n",
         3, 13, "YYYY-MM-DD HH:MM"},
        {"[[schedule]]\nname = 'a'\ncountdown = '04:00'\nshutdown = true\n", 4, 12,
         "needs `confirm = true`"},
        {"[[schedule]]\nname = 'a'\ncountdown = '04:00'\nminutes_before = [5]\nconfirm = true\n"
         "say = 'x'\n",
         5, 11, "`confirm` goes only with `shutdown = true`"},
        {"[[schedule]]\nname = 'a'\ncountdown = '04:00'\nminutes_before = [5, 1, 5]\n"
         "say = 'x'\n",
         4, 25, "5 is in `minutes_before` twice"},
        {"[[schedule]]\nname = 'a'\ncountdown = '04:00'\nminutes_before = [5]\n", 1, 1,
         "needs `say`"},
        {"[[schedule]]\nname = 'a'\ncountdown = '04:00'\n", 1, 1, "needs `minutes_before`"},
        // Templates.
        {"[[schedule]]\nname = 'a'\ncountdown = '04:00'\nminutes_before = [5]\n"
         "say = 'in {minute} min'\n",
         5, 7, "unknown field {minute}; this rule can fill {players}, {time}, {minutes}"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 5\nsay = '{minutes} left'\n", 4, 7,
         "unknown field {minutes}"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 5\nsay = 'a {time'\n", 4, 7,
         "a '{' without its '}'"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 5\nsay = '\xd0\x9f\xd1\x80\xd0\xb8'\n", 4, 7,
         "characters the server cannot receive: U+041F"},
        {"[[schedule]]\nname = 'a'\nevery_minutes = 5\nsay = '/kick 3'\n", 4, 7,
         "which the server takes as a command"},
        // Triggers.
        {"[[trigger]]\nname = 'a'\naction = 'say'\nsay = 'x'\n", 1, 1, "needs `pattern`"},
        {"[[trigger]]\nname = 'a'\npattern = 'a(b'\naction = 'say'\nsay = 'x'\n", 3, 11,
         "not a valid pattern: missing )"},
        {"[[trigger]]\nname = 'a'\npatern = 'x'\naction = 'say'\nsay = 'x'\n", 3, 1,
         "unknown key `patern` in [[trigger]]"},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'slap'\n", 4, 10,
         "`action` must be one of \"say\", \"warn\""},
        {"[[trigger]]\nname = 'a'\non = 'leave'\naction = 'say'\nsay = 'x'\n", 3, 6,
         "`on` must be one of \"chat\", \"join\""},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'ban'\n", 1, 1, "`ban_minutes`"},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'warn'\nsay = 'x'\nwarnings = 2\n", 1, 1,
         "needs `then`"},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'warn'\nthen = 'warn'\n", 5, 8,
         "`then` must be one of \"kick\""},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\nkinds = ['server']\naction = 'kick'\n", 4, 9,
         "server lines have no player"},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\nkinds = ['all']\naction = 'say'\nsay = 'x'\n", 4,
         10, "\"public\", \"team\" and \"server\""},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\nkinds = ['server']\naction = 'say'\n"
         "say = 'hi {name}'\n",
         6, 7, "unknown field {name}"},
        {"[[trigger]]\nname = 'a'\non = 'join'\nkinds = ['team']\naction = 'say'\nsay = 'x'\n", 4,
         1, "`kinds` has no meaning here: it goes only with on = \"chat\""},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'say'\nsay = 'x'\nreason = 'y'\n", 6, 1,
         "`reason` has no meaning here"},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'note'\nnote = \"line\\none\"\n", 5, 8,
         "control character"},
        {"[[trigger]]\nname = 'a'\npattern = 'x'\naction = 'kick'\nreason = 'a } b'\n", 5, 10,
         "a '}' without its '{'"},
    };
    for (const BadFile& c : cases) {
        const RulesFileResult result = ParseRulesFile(c.text, "bad.toml");
        ASSERT_FALSE(result.rules) << c.text;
        EXPECT_EQ(result.error.line, c.line) << c.text << "\n" << result.error.ToString();
        EXPECT_EQ(result.error.column, c.column) << c.text << "\n" << result.error.ToString();
        EXPECT_NE(result.error.message.find(c.message), std::string::npos)
            << c.text << "\n"
            << result.error.ToString();
        EXPECT_EQ(result.error.ToString().rfind("bad.toml:" + std::to_string(c.line) + ":", 0), 0u);
    }
}

TEST(RulesFileTest, NoMoreRulesThanTheLimit) {
    std::string text;
    for (int i = 0; i <= MAX_RULES; ++i) {
        text += "[[schedule]]\nname = 'r" + std::to_string(i) + "'\nevery_minutes = 5\nsay = 'x'\n";
    }
    const RulesFileResult result = ParseRulesFile(text, "many.toml");
    ASSERT_FALSE(result.rules);
    EXPECT_EQ(result.error.line, 4 * MAX_RULES + 1);
    EXPECT_NE(result.error.message.find("too many rules"), std::string::npos);
}

class RulesFileOnDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = (fs::temp_directory_path() / "vyr-rules-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    std::string dir;
};

TEST_F(RulesFileOnDiskTest, AFileThatCannotBeUsedIsNamedWithTheReason) {
    const std::string fifo = dir + "/fifo.toml";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = Write("large.toml", std::string(MAX_RULES_FILE + 1, '#'));
    const std::string locked = Write("locked.toml", "");
    ::chmod(locked.c_str(), 0);
    const std::pair<std::string, const char*> cases[] = {
        {dir + "/missing.toml", "no such file"},
        {dir, "not a regular file"},
        {fifo, "not a regular file"}, // and the open does not wait for a writer
        {large, "larger than 1 MiB"},
    };
    for (const auto& [path, reason] : cases) {
        const RulesFileResult result = LoadRulesFile(path);
        ASSERT_FALSE(result.rules) << path;
        EXPECT_EQ(result.error.line, 0);
        EXPECT_EQ(result.error.ToString(), path + ": " + result.error.message);
        EXPECT_NE(result.error.message.find(reason), std::string::npos) << result.error.message;
    }
    if (::geteuid() != 0) { // root reads it anyway
        EXPECT_NE(LoadRulesFile(locked).error.message.find("cannot be read"), std::string::npos);
    }
}

TEST(RulesFilePathTest, TheServerAddressBecomesOneSafeFileName) {
    setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(AutomationRulesPath("192.0.2.10", 27960),
              "/cfg/vyr/automation/192.0.2.10_27960.toml");
    EXPECT_EQ(AutomationRulesPath("../evil/host", 1), "/cfg/vyr/automation/.._evil_host_1.toml");
    unsetenv("XDG_CONFIG_HOME");
}

} // namespace
