// The interactive prompt driven through a pseudo-terminal: history kept across runs, Tab
// completion, and an event arriving while a line is half typed.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/cli/CliFixture.h"
#include "tests/cli/PtyCli.h"

namespace {

using namespace std::chrono_literals;

TEST_F(CliTest, HistoryOutlivesTheRunAndTabCompletes) {
    StartServer({"--players", "1", "--rate", "0", "--seed", "5"});
    {
        PtyCli first(home, To());
        ASSERT_TRUE(first.WaitFor("vyr> ")) << first.screen;
        EXPECT_NE(first.screen.find("\x1b[38;2;0;51;153mConnected."), std::string::npos)
            << "the window's blue on a terminal";
        first.Type(":pla\t\r"); // completes to :players
        EXPECT_TRUE(first.WaitFor("VALUE  NAME")) << first.screen;
        first.Type("remember me\r");
        ASSERT_TRUE(first.WaitFor("<remember me>")) << first.screen;
        first.Type("\x04"); // Ctrl+D
        EXPECT_EQ(first.Exit(), 0);
    }
    struct stat file {
    }, folder{};
    ASSERT_EQ(stat((home + "/state/vyr/cli_history").c_str(), &file), 0);
    ASSERT_EQ(stat((home + "/state/vyr").c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 0777, 0600u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);

    PtyCli second(home, To());
    ASSERT_TRUE(second.WaitFor("vyr> ")) << second.screen;
    second.Type("\x1b[A\r"); // the previous run's line, from the history
    EXPECT_TRUE(second.WaitFor("<remember me>")) << second.screen;
    // The one player's name, completed from its first letter.
    const std::size_t from = second.screen.size();
    second.Type(":players\r");
    ASSERT_TRUE(second.WaitFor("NAME", from));
    const std::string rows = second.screen.substr(second.screen.find("NAME", from) + 4);
    const std::string name =
        rows.substr(rows.find_first_not_of("\r\n 0123456789-"),
                    rows.find_first_of("\r\n", 2) - rows.find_first_not_of("\r\n 0123456789-"));
    second.Type(":kick " + name.substr(0, 1) + "\t\r");
    EXPECT_TRUE(second.WaitFor(name + " has been kicked from the game.", from)) << second.screen;
    second.Type(":quit\r");
    EXPECT_EQ(second.Exit(), 0);
}

TEST_F(CliTest, EventAboveTheHalfTypedLine) {
    StartServer({"--players", "4", "--rate", "20", "--seed", "5"});
    PtyCli cli(home, To({"--no-color"}));
    ASSERT_TRUE(cli.WaitFor("vyr> ")) << cli.screen;
    cli.Type("half typ");
    ASSERT_TRUE(cli.WaitFor("half typ"));
    // Only a redraw below an event shows prompt and line in one piece.
    EXPECT_TRUE(cli.WaitFor("vyr> half typ", cli.screen.size())) << cli.screen;
    cli.Type("ed\r");
    EXPECT_TRUE(cli.WaitFor("<half typed>")) << cli.screen;
    cli.Type(":quit\r");
    EXPECT_EQ(cli.Exit(), 0);
    EXPECT_EQ(cli.screen.find("\x1b[38;2"), std::string::npos) << "--no-color";
}

} // namespace
