// vyr-cli's command line, parsed without running anything.
#include "cli/CliOptions.h"

#include <gtest/gtest.h>

namespace {

using Action = ParsedCliOptions::Action;

TEST(CliOptionsTest, EachOptionOrTheReasonItIsRefused) {
    const struct {
        std::vector<std::string> args;
        Action action;
        const char* error; // part of it
    } cases[] = {
        {{"--help", "--frobnicate"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--frobnicate"}, Action::Error, "unknown option '--frobnicate'"},
        {{"-p"}, Action::Error, "needs a value"},
        {{"-p", "0"}, Action::Error, "invalid value '0'"},
        {{"-p", "65536"}, Action::Error, "invalid value"},
        {{"-p", "12ab"}, Action::Run, ""}, // read as vyr.ini's Port is: 12
        {{"--players=yes"}, Action::Error, "takes no value"},
        {{"-w", "-1"}, Action::Error, "invalid value"},
        {{"-w", "nan"}, Action::Error, "invalid value"},
        {{"--shutdown"}, Action::Error, "--yes"},
        {{"-k", "a", "-b", "b"}, Action::Error, "cannot be combined"},
        {{"-r"}, Action::Error, "--reconnect goes with --follow"},
        {{"-s", "a,,b", "--players"}, Action::Error, "invalid value"},
        {{"-s", "a,b", "--follow"}, Action::Error, "one-shot job"},
        {{"-s", "a,b", "--players"}, Action::Run, ""},
        {{"--automation="}, Action::Error, "invalid value"},
    };
    for (const auto& c : cases) {
        const ParsedCliOptions parsed = ParseCliOptions(c.args);
        EXPECT_EQ(parsed.action, c.action) << c.args[0] << ": " << parsed.error;
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    }
}

TEST(CliOptionsTest, CommandsKeepTheirOrderAndTrailingWordsFormOneMore) {
    const ParsedCliOptions parsed = ParseCliOptions(
        {"-c", "first", "--command=second", "-s", "eu1,us2", "--", "-x", "say", "hi"});
    ASSERT_EQ(parsed.action, Action::Run) << parsed.error;
    EXPECT_EQ(parsed.options.commands, (std::vector<std::string>{"first", "second", "-x say hi"}));
    EXPECT_EQ(parsed.options.servers, (std::vector<std::string>{"eu1", "us2"}));
    EXPECT_TRUE(parsed.options.HasOneShotJob());
}

} // namespace
