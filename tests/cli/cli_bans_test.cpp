// vyr-cli's bans against the demo server: a ban with a length and a reason that learns its
// address, the list joined with the records, lifts by address and by player, expired bans lifted
// while following, and the options and commands that say what to ban.

#include <nlohmann/json.hpp>

#include <sstream>
#include <thread>

#include "cli/CliBans.h"
#include "cli/CliOptions.h"
#include "tests/cli/CliFixture.h"

namespace {

using namespace std::chrono_literals;

std::vector<nlohmann::json> Lines(const std::string& out, const std::string& type) {
    std::vector<nlohmann::json> found;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json object = nlohmann::json::parse(line);
        if (object["type"] == type) {
            found.push_back(object);
        }
    }
    return found;
}

TEST_F(CliTest, ABanKeepsItsAddressReasonAndLengthAndUnbanLiftsIt) {
    StartServer();
    CliProcess ban(home, To({"--ban", "#0", "--for", "2h", "--reason", "aimbot"}));
    ASSERT_EQ(RunCli(ban), 0) << ban.err;
    EXPECT_NE(ban.out.find("for 2 hours: aimbot."), std::string::npos) << ban.out;
    EXPECT_EQ(ban.out.find("10.0.0.1|"), std::string::npos) << "its own lists are not printed";
    CliProcess other(home, To({"/banip 10.99.0.1"}));
    ASSERT_EQ(RunCli(other), 0) << other.err;

    CliProcess list(home, To({"--bans", "-j"}));
    ASSERT_EQ(RunCli(list), 0) << list.err;
    const std::vector<nlohmann::json> rows = Lines(list.out, "banned");
    ASSERT_EQ(rows.size(), 2u) << list.out;
    EXPECT_EQ(rows[0]["reason"], "aimbot");
    EXPECT_EQ(rows[0]["banned_by"], "admin");
    EXPECT_NE(rows[0]["expires"], "permanent");
    EXPECT_EQ(rows[1]["address"], "10.99.0.1");
    EXPECT_EQ(rows[1]["recorded"], 0);
    const std::string banned = rows[0]["name"];

    const struct {
        std::string target;
        int status;
        std::string says;
    } lifts[] = {
        {"10.99.0.1", 0, "Ban on 10.99.0.1 lifted."},
        {"10.99.0.1", 1, "not lifted: the server answered that the IP could not be removed"},
        {banned, 0, "Ban on " + banned + " (10.0.0.1) lifted."},
        {banned, 5, "no ban of '" + banned + "' with a known address is recorded here"},
    };
    for (const auto& lift : lifts) {
        CliProcess unban(home, To({"--unban", lift.target}));
        EXPECT_EQ(RunCli(unban), lift.status) << lift.target << "\n" << unban.out << unban.err;
        EXPECT_NE((unban.out + unban.err).find(lift.says), std::string::npos)
            << lift.says << "\n"
            << unban.out << unban.err;
    }
}

// Following, a ban that expired while no one was connected is lifted at login, and one that
// expires meanwhile at its expiry.
TEST_F(CliTest, FollowingLiftsExpiredBansAtLoginAndAtExpiry) {
    StartServer();
    CliProcess first(home, To({"--ban", "#0", "--for", "1s"}));
    ASSERT_EQ(RunCli(first), 0) << first.err;
    CliProcess second(home, To({"--ban", "#1", "--for", "8s"}));
    ASSERT_EQ(RunCli(second), 0) << second.err;
    std::this_thread::sleep_for(2s); // past the first expiry, whatever the second it began in

    CliProcess follow(home, To({"--follow"}));
    EXPECT_TRUE(follow.WaitForOutput("(10.0.0.1) lifted: expired.")) << follow.out << follow.err;
    EXPECT_EQ(follow.out.find("(10.0.0.2) lifted"), std::string::npos) << "not expired yet";
    EXPECT_TRUE(follow.WaitForOutput("(10.0.0.2) lifted: expired.", 15s))
        << follow.out << follow.err;
    follow.Signal(SIGTERM);
    EXPECT_EQ(follow.WaitForExit(), 0);
}

TEST(CliBanOptions, SayWhatToBanForHowLongAndWhy) {
    const ParsedCliOptions ban = ParseCliOptions({"-b", "Ann", "--for", "1d", "--reason", "x y"});
    ASSERT_EQ(ban.action, ParsedCliOptions::Action::Run) << ban.error;
    EXPECT_EQ(ban.options.banSeconds, 86400);
    EXPECT_EQ(ban.options.reason, "x y");
    EXPECT_TRUE(ban.options.HasOneShotJob());

    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--for", "2h"}, "--for goes with --ban"},
        {{"-b", "Ann", "--for", "2x"}, "invalid value '2x' for --for"},
        {{"--reason", "why"}, "--reason goes with --kick or --ban"},
        {{"--bans", "--unban", "1.2.3.4"}, "cannot be combined"},
        {{"-k", "Ann", "-b", "Bob"}, "cannot be combined"},
        {{"--unban", ""}, "invalid value '' for --unban"},
    };
    for (const auto& [args, error] : refused) {
        const ParsedCliOptions parsed = ParseCliOptions(args);
        EXPECT_EQ(parsed.action, ParsedCliOptions::Action::Error) << error;
        EXPECT_NE(parsed.error.find(error), std::string::npos) << parsed.error;
    }
}

TEST(CliBanOptions, PromptCommandsTakeAPlayerALengthAndAReason) {
    const struct {
        const char* argument;
        RemovalOrder::Kind kind;
        const char* target;
        std::optional<std::int64_t> seconds;
        const char* reason;
    } cases[] = {
        {"Ann", RemovalOrder::Kind::Ban, "Ann", std::nullopt, ""},
        {"Ann 2h team killing", RemovalOrder::Kind::Ban, "Ann", 7200, "team killing"},
        {"#3 spam", RemovalOrder::Kind::Ban, "#3", std::nullopt, "spam"},
        {"\"Big Bob\" 1w  abuse", RemovalOrder::Kind::Ban, "Big Bob", 604800, "abuse"},
        {"\"Big Bob", RemovalOrder::Kind::Ban, "Big Bob", std::nullopt, ""},
        {"Ann 2h spam", RemovalOrder::Kind::Kick, "Ann", std::nullopt, "2h spam"},
    };
    for (const auto& c : cases) {
        const RemovalCommand command = ParseRemovalCommand(c.argument, c.kind);
        EXPECT_EQ(command.target, c.target) << c.argument;
        EXPECT_EQ(command.seconds, c.seconds) << c.argument;
        EXPECT_EQ(command.reason, c.reason) << c.argument;
    }
}

} // namespace
