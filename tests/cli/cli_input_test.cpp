// What vyr-cli takes in: password sources, piped console lines, lines the wire cannot carry,
// kick and ban targets, and hostile server text on the way out.

#include <gmock/gmock.h>
#include <sys/stat.h>

#include <fstream>

#include "engine/Protocol.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/UdpPeer.h"

namespace {

using namespace std::chrono_literals;

void WriteFile(const std::string& path, const std::string& text) {
    mkdir(path.substr(0, path.rfind('/')).c_str(), 0700);
    std::ofstream(path, std::ios::binary) << text;
}

TEST_F(CliTest, PasswordComesFromFileEnvironmentOrSavedSettings) {
    StartServer();
    const std::string ini = home + "/config/vyr.ini";
    WriteFile(home + "/pw", "admin\nsecond line\n");
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        std::string iniText;
        int status;
    };
    const std::string port = std::to_string(server.Port());
    const std::vector<Case> cases = {
        {"file before environment",
         To({"--password-file", home + "/pw", "/list"}),
         {{"VYR_PASSWORD", "wrong"}},
         "",
         0},
        {"environment before settings",
         To({"/list"}),
         {{"VYR_PASSWORD", "admin"}},
         "[Remote Admin]\r\nSavePass=true\r\nPassword=wrong\r\n",
         0},
        {"saved settings, login from them too",
         {"/list"},
         {{"VYR_PASSWORD", ""}},
         "[Remote Admin]\r\nUsername=admin\r\nSavePass=true\r\nPassword=admin\r\nIP=127.0.0.1\r\n"
         "Port=" +
             port + "\r\n",
         0},
        {"password not saved",
         To({"/list"}),
         {{"VYR_PASSWORD", ""}},
         "[Remote Admin]\r\nSavePass=false\r\nPassword=admin\r\n",
         2},
        {"missing password file", To({"--password-file", home + "/none", "/list"}), {}, "", 2},
    };
    for (const Case& c : cases) {
        WriteFile(ini, c.iniText);
        CliProcess cli(home, c.args, c.env);
        EXPECT_EQ(RunCli(cli), c.status) << c.what << "\n" << cli.err;
    }
}

TEST_F(CliTest, PipedLinesAreSentInOrderAndUncarriableOnesRefused) {
    StartServer();
    const std::string input = "hello\n  /list\n\ncaf\xC3\xA9\n" + std::string(10 << 20, 'x') +
                              "\nbin\x01"
                              "ary\n\xE2\x82\xAC euro\n\xFF\xFE\nlast\n";
    CliProcess cli(home, To({"--wait", "0.5"}), {}, input);
    EXPECT_EQ(RunCli(cli), 2) << "refused lines make the run fail";
    for (const char* refused : {"line 5 of stdin not sent: the line is longer than 128",
                                "line 6 of stdin not sent: the line holds characters the server "
                                "cannot receive: U+0001",
                                "line 7 of stdin not sent: the line holds characters the server "
                                "cannot receive: U+20AC",
                                "line 8 of stdin not sent: the line is not valid UTF-8"}) {
        EXPECT_NE(cli.err.find(refused), std::string::npos) << refused << "\n" << cli.err;
    }
    EXPECT_TRUE(ServerSaid("chat: last\n"));
    const std::string& log = server.Output();
    const std::size_t hello = log.find("chat: hello\n");
    const std::size_t list = log.find("command: /list -> ");
    const std::size_t cafe = log.find("chat: caf?\n"); // the server's log shows non-ASCII as '?'
    const std::size_t last = log.find("chat: last\n");
    EXPECT_TRUE(hello < list && list < cafe && cafe < last && last != std::string::npos) << log;
    EXPECT_EQ(log.find("xxxx"), std::string::npos);
    EXPECT_EQ(log.find("ary"), std::string::npos);
}

TEST_F(CliTest, KickAndBanByNameOrIdSucceedOnTheServersReport) {
    StartServer({"--players", "2", "--rate", "0", "--seed", "11"});
    CliProcess players(home, To({"--players", "--no-color"}));
    ASSERT_EQ(RunCli(players), 0);
    // The table's rows read "  ID  VALUE  NAME"; the first row after the header is the first
    // player.
    std::istringstream rows(players.out.substr(players.out.find("NAME\n") + 5));
    int id = 0, value = 0;
    std::string name;
    rows >> id >> value >> name;
    CliProcess byName(home, To({"--kick", name}));
    EXPECT_EQ(RunCli(byName), 0) << byName.err;
    EXPECT_TRUE(ServerSaid("kick " + std::to_string(id) + " (" + name)) << server.Output();
    rows >> id >> value >> name;
    CliProcess byId(home, To({"--ban", "#" + std::to_string(id)}));
    EXPECT_EQ(RunCli(byId), 0) << byId.err;
    EXPECT_TRUE(ServerSaid("ban " + std::to_string(id) + " (" + name)) << server.Output();
}

// The demo server never repeats a name, so a fake one lists two players of the same name.
TEST_F(CliTest, DuplicateNameIsRefusedAndTheIdChoosesOne) {
    UdpPeer fake;
    const auto run = [&](const std::string& target) {
        CliProcess cli(home, {"-H", "127.0.0.1", "-p", std::to_string(fake.Port()), "-u", "a",
                              "--kick", target});
        if (fake.ReceiveOfType(MSG_LOGIN, 5000ms)) {
            fake.Send(wire::EncodeWelcome({{4, 1, "Twin"}, {9, 2, "Twin"}, {5, 3, "Solo"}}));
        }
        if (const auto kick = fake.ReceiveOfType(MSG_KICK, 2000ms)) {
            fake.Send(wire::EncodePlayerLeave(LEAVE_KICKED, kick->at(1)));
        }
        const int status = RunCli(cli);
        return std::make_pair(status, cli.err);
    };
    EXPECT_THAT(run("Twin"), testing::Pair(5, testing::HasSubstr("(#4, #9)")));
    EXPECT_EQ(run("#9").first, 0);
}

// Server text with escape sequences and line breaks reaches the terminal escaped.
TEST_F(CliTest, HostileServerTextIsShownEscaped) {
    UdpPeer fake;
    CliProcess cli(home, {"-H", "127.0.0.1", "-p", std::to_string(fake.Port()), "-u", "a",
                          "--follow", "--no-color"});
    ASSERT_TRUE(fake.ReceiveOfType(MSG_LOGIN, 5000ms));
    fake.Send(wire::EncodeWelcome({}));
    fake.Send(wire::EncodePlayerJoin(1, "Ev\x1B[2Jil"));
    fake.Send(wire::EncodeServerChat(0, CHAT_KIND_SERVER, "\x1B]0;owned\x07\nforged\r\xE9"));
    EXPECT_TRUE(cli.WaitForOutput("forged"));
    cli.Signal(SIGTERM);
    cli.WaitForExit();
    EXPECT_EQ(cli.out.find('\x1B'), std::string::npos) << cli.out;
    EXPECT_NE(cli.out.find("Ev\\x1b[2Jil has joined the game."), std::string::npos) << cli.out;
    EXPECT_NE(cli.out.find("<\\x1b]0;owned\\x07\\nforged\\r\xC3\xA9>"), std::string::npos)
        << cli.out;
}

} // namespace
