// vyr-cli with saved servers (servers.toml), automation rules, and reconnecting while following.

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include <fstream>

#include "engine/Protocol.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/UdpPeer.h"

namespace {

using namespace std::chrono_literals;

void WriteFile(const std::string& path, const std::string& text) {
    ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);
    std::ofstream(path, std::ios::binary) << text;
}

std::string Server(const std::string& name, int port, const std::string& password) {
    return "[[server]]\nname = \"" + name +
           "\"\nhost = \"127.0.0.1\"\nport = " + std::to_string(port) +
           "\nuser = \"admin\"\npassword_source = { command = \"printf " + password + "\" }\n";
}

class CliServersTest : public CliTest {
  protected:
    std::string ServersFile() const { return home + "/config/vyr/servers.toml"; }
};

// The password comes from the profile's command; -s a,b runs the job on each in turn, marks each
// line with its server, and exits with the worst status.
TEST_F(CliServersTest, SavedServersRunInTurnAndTheWorstStatusWins) {
    StartServer();
    ::mkdir((home + "/config").c_str(), 0700);
    WriteFile(ServersFile(),
              Server("good", server.Port(), "admin") + Server("badpw", server.Port(), "wrong"));
    CliProcess list(home, {"--servers"});
    EXPECT_EQ(RunCli(list), 0) << list.err;
    EXPECT_THAT(list.out, testing::HasSubstr("good  127.0.0.1:" + std::to_string(server.Port()) +
                                             "  admin  password from command: printf admin"));

    const std::map<std::string, std::string> noEnvPassword{{"VYR_PASSWORD", ""}};
    CliProcess both(home, {"-s", "good,badpw", "--players"}, noEnvPassword);
    EXPECT_EQ(RunCli(both), 1) << both.err;
    EXPECT_THAT(both.out, testing::HasSubstr("[good] Connected."));
    EXPECT_THAT(both.out,
                testing::HasSubstr("[badpw] Disconnected: Invalid username or password."));

    CliProcess json(home, {"-s", "good,good", "-j", "--players"}, noEnvPassword);
    EXPECT_EQ(RunCli(json), 0) << json.err;
    std::istringstream lines(json.out);
    int players = 0;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json object = nlohmann::json::parse(line);
        EXPECT_EQ(object["server"], "good") << line;
        players += object["type"] == "player";
    }
    EXPECT_EQ(players, 6);

    CliProcess unknown(home, {"-s", "nowhere", "--players"});
    EXPECT_EQ(RunCli(unknown), 2);
    EXPECT_THAT(unknown.err, testing::HasSubstr("no saved server is called 'nowhere'"));
    CliProcess notOneShot(home, {"-s", "good,badpw", "--follow"});
    EXPECT_EQ(RunCli(notOneShot), 2);
}

// The rules of a file run while following: a trigger answers chat, and every action is printed,
// as text or as a JSON object.
TEST_F(CliServersTest, AutomationAnswersChatAndPrintsItsActions) {
    UdpPeer fake;
    const std::string rules = home + "/rules.toml";
    WriteFile(rules, "[[trigger]]\nname = 'rules'\npattern = '^!rules'\naction = 'say'\n"
                     "say = 'No cheats, {name}.'\n");
    CliProcess cli(home, {"-H", "127.0.0.1", "-p", std::to_string(fake.Port()), "-u", "admin",
                          "--follow", "-j", "--automation", rules});
    ASSERT_TRUE(fake.ReceiveOfType(MSG_LOGIN, 5000ms));
    fake.Send(wire::EncodeWelcome({{4, 0, "Ann"}}));
    ASSERT_TRUE(cli.WaitForOutput("\"connected\""));
    fake.Send(wire::EncodeServerChat(4, 0, "!rules please"));
    EXPECT_EQ(fake.ReceiveOfType(MSG_CHAT, 5000ms), wire::EncodeChat("No cheats, Ann."));
    ASSERT_TRUE(cli.WaitForOutput("\"automation\""));
    ASSERT_TRUE(cli.Signal(SIGTERM));
    EXPECT_EQ(cli.WaitForExit(), 0);
    bool said = false;
    std::istringstream lines(cli.out);
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json object = nlohmann::json::parse(line);
        if (object["type"] == "automation") {
            EXPECT_EQ(object["action"], "say");
            EXPECT_EQ(object["rule"], "rules");
            said = true;
        }
    }
    EXPECT_TRUE(said) << cli.out;

    CliProcess broken(home, {"--follow", "--automation", home + "/none.toml"});
    EXPECT_EQ(RunCli(broken), 2);
    EXPECT_THAT(broken.err, testing::HasSubstr("none.toml"));
}

// Following with --reconnect, a silenced session is tried again instead of ending the run.
TEST_F(CliServersTest, FollowingWithReconnectTriesASilencedSessionAgain) {
    UdpPeer fake;
    CliProcess cli(home, {"-H", "127.0.0.1", "-p", std::to_string(fake.Port()), "-u", "admin",
                          "--follow", "--reconnect"});
    ASSERT_TRUE(fake.ReceiveOfType(MSG_LOGIN, 5000ms));
    fake.Send(wire::EncodeWelcome({}));
    ASSERT_TRUE(cli.WaitForOutput("Reconnecting in ", 30000ms)) << cli.out;
    EXPECT_THAT(cli.out, testing::HasSubstr("Disconnected: Connection timed out."));
    ASSERT_TRUE(fake.ReceiveOfType(MSG_LOGIN, 10000ms));
    fake.Send(wire::EncodeWelcome({}));
    ASSERT_TRUE(cli.Signal(SIGTERM));
    EXPECT_EQ(cli.WaitForExit(), 0);
}

} // namespace
