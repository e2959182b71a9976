// vyr-cli's exit statuses, each brought about for real against the demo server or a silent or
// fake one on loopback.

#include <chrono>
#include <regex>

#include "engine/Protocol.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/UdpPeer.h"

namespace {

using namespace std::chrono_literals;

struct StatusCase {
    const char* what;
    std::vector<std::string> args; // after the login options, unless `login` is false
    int status;
    const char* stderrHolds;
    bool login = true;
    std::map<std::string, std::string> env = {};
};

TEST_F(CliTest, ExitStatusTellsWhatHappened) {
    StartServer();
    const std::vector<StatusCase> cases = {
        {"help", {"--help"}, 0, "", false},
        {"a one-shot command", {"/list"}, 0, ""},
        {"unknown option", {"--frobnicate"}, 2, "Usage: vyr-cli", false},
        {"missing value", {"-c"}, 2, "Usage: vyr-cli"},
        {"shutdown unconfirmed", {"--shutdown"}, 2, "--yes"},
        {"no password", {"/list"}, 2, "no password", true, {{"VYR_PASSWORD", ""}}},
        {"unresolvable host",
         {"-H", "no-such-host.invalid", "-p", "1", "/list"},
         3,
         "connect",
         false},
        {"wrong password",
         {"/list"},
         1,
         "Invalid username or password.",
         true,
         {{"VYR_PASSWORD", "nope"}}},
        {"refused during the session", {"/refuse 6"}, 1, "Incompatible version."},
        {"kick of no one", {"--kick", "#250"}, 5, "no player has the id #250"},
        {"ban of an unknown name", {"--ban", "Nobody"}, 5, "no player is named 'Nobody'"},
    };
    for (const StatusCase& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        CliProcess cli(home, c.login ? To(c.args) : c.args, c.env);
        EXPECT_EQ(RunCli(cli), c.status) << c.what << "\n" << cli.err;
        EXPECT_NE(cli.err.find(c.stderrHolds), std::string::npos) << c.what << "\n" << cli.err;
        EXPECT_LT(std::chrono::steady_clock::now() - start, 8s) << c.what;
    }
}

TEST_F(CliTest, TextOptionsShapeTheLines) {
    StartServer();
    const std::string answer = "<Unknown command: /nosuch>\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {To({"-w", "0.2", "/nosuch"}),
         "Connecting...\nConnected.\n" + answer + "Disconnected: Client disconnected.\n"},
        {To({"-q", "-w", "0.2", "-c", "/nosuch"}), answer},
        {To({"-t", "-q", "--wait=0.2", "--command=/nosuch"}),
         R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d <Unknown command: /nosuch>\n)"},
        {{"--version"}, R"(vyr-cli \d+\.\d+\.\d+\.\d+\n)"},
    };
    for (const auto& [args, expected] : cases) {
        CliProcess cli(home, args);
        RunCli(cli);
        EXPECT_TRUE(std::regex_match(cli.out, std::regex(expected))) << cli.out;
    }
}

// The login goes unanswered: after the connect time-out, 3. A session that then falls silent is
// lost when the watchdog gives up: 4.
TEST_F(CliTest, SilentServerIsUnreachableAndASilencedOneIsLost) {
    UdpPeer silent;
    CliProcess unanswered(
        home, {"-H", "127.0.0.1", "-p", std::to_string(silent.Port()), "-u", "admin", "/list"});
    EXPECT_EQ(RunCli(unanswered), 3) << unanswered.err;

    UdpPeer fake;
    CliProcess lost(
        home, {"-H", "127.0.0.1", "-p", std::to_string(fake.Port()), "-u", "admin", "--follow"});
    ASSERT_TRUE(fake.ReceiveOfType(MSG_LOGIN, 5000ms));
    fake.Send(wire::EncodeWelcome({}));
    EXPECT_EQ(lost.WaitForExit(30000ms), 4) << lost.err;
    EXPECT_NE(lost.out.find("Disconnected: Connection timed out."), std::string::npos) << lost.out;
}

} // namespace
