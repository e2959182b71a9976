// The interactive prompt and the password question driven through a pseudo-terminal: history
// kept across runs, Tab completion, an event arriving while a line is half typed, keys that stop
// short, stdout on a pipe, a FIFO for the history, and every way out of the question.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

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

// Keys that stop short (Escape alone, Escape and a letter, a lead byte pasted alone, the start
// of a sequence) and sequences the prompt does not know: the loop goes on printing events and
// answering the server's pings past the server's 30 s limit, and SIGTERM still logs out.
TEST_F(CliTest, KeysThatStopShortNeverHoldUpTheLoop) {
    StartServer({"--players", "6", "--rate", "5", "--seed", "5"});
    PtyCli cli(home, To({"--no-color"}));
    ASSERT_TRUE(cli.WaitFor("vyr> ")) << cli.screen;
    for (const std::string keys : {"\x1b", "\x1bx", "\xC3", "\x1b[1;2P", "\x1b[", "\x1bO"}) {
        cli.Type(keys);
        // Every event line is drawn above the prompt after a line erase.
        const std::size_t from = cli.screen.size();
        EXPECT_TRUE(cli.WaitFor("\x1b[K", from))
            << "no event after " << testing::PrintToString(keys);
    }
    // The lone lead byte stood for itself; Backspace takes it away. A line of two-byte
    // characters is sent and cleared, and the next line is one of its own.
    cli.Type("\x7f"
             "caf\xC3\xA9\r");
    cli.Type("next\r");
    EXPECT_TRUE(ServerSaid("chat: next\n")) << cli.screen;
    EXPECT_NE(server.Output().find("chat: caf?\nchat: next\n"), std::string::npos)
        << server.Output();

    cli.WaitFor("\x04never", 0, 30s);
    const std::size_t late = cli.screen.size();
    cli.WaitFor("\x04never", 0, 5s);
    EXPECT_NE(cli.screen.find("\x1b[K", late), std::string::npos) << "events stopped";
    EXPECT_EQ(cli.screen.find("Disconnected"), std::string::npos) << cli.screen;
    cli.Type("still here\r");
    EXPECT_TRUE(ServerSaid("chat: still here\n"));
    ASSERT_TRUE(cli.Signal(SIGTERM));
    EXPECT_EQ(cli.WaitForExit(5s), 0);
    EXPECT_TRUE(ServerSaid("\nquit\n")) << server.Output();
}

// `vyr-cli | tee log` and `vyr-cli -j | jq .`: the prompt and its editing stay on the terminal,
// every typed line and :quit work, and the pipe carries the output only.
TEST_F(CliTest, WithStdoutOnAPipeThePromptStaysOnTheTerminal) {
    StartServer();
    for (const bool json : {false, true}) {
        SCOPED_TRACE(json ? "-j" : "text");
        const std::string line = json ? "through jq" : "through tee";
        PtyCli::Options options;
        options.stdoutToPipe = true;
        PtyCli cli(home, To(json ? std::vector<std::string>{"-j"} : std::vector<std::string>{}),
                   options);
        ASSERT_TRUE(cli.WaitFor("vyr> ")) << cli.screen;
        cli.Type(line + "\r");
        EXPECT_TRUE(ServerSaid("chat: " + line + "\n")) << cli.screen;
        cli.Type(":players\r:quit\r");
        EXPECT_EQ(cli.WaitForExit(), 0) << cli.screen;
        EXPECT_EQ(cli.out.find_first_of("\x1b\r"), std::string::npos) << cli.out;
        EXPECT_EQ(cli.out.find("vyr> "), std::string::npos) << cli.out;
        if (!json) {
            EXPECT_NE(cli.out.find("<" + line + ">\n"), std::string::npos) << cli.out;
            EXPECT_NE(cli.out.find("VALUE  NAME\n"), std::string::npos) << cli.out;
            continue;
        }
        std::istringstream lines(cli.out);
        std::set<std::string> types;
        for (std::string text; std::getline(lines, text);) {
            const nlohmann::json object = nlohmann::json::parse(text, nullptr, false);
            ASSERT_TRUE(object.is_object()) << text;
            types.insert(object.value("type", ""));
        }
        EXPECT_TRUE(types.count("player") && types.count("chat") && types.count("disconnected"))
            << cli.out;
    }
}

// Every way out of the password question leaves the terminal exactly as it was.
TEST_F(CliTest, EveryWayOutOfThePasswordQuestionPutsTheTerminalBack) {
    StartServer();
    struct Case {
        const char* what;
        std::string keys;
        int signal;
        int status;
    };
    const Case cases[] = {
        {"Ctrl+C", "half\x03", 0, 130},       {"SIGTERM", "half", SIGTERM, 128 + SIGTERM},
        {"SIGHUP", "", SIGHUP, 128 + SIGHUP}, {"end of input", "\x04", 0, 2},
        {"the password", "admin\r", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PtyCli::Options options;
        options.env = {{"VYR_PASSWORD", ""}};
        PtyCli cli(home, To({"--players"}), options);
        ASSERT_TRUE(cli.WaitFor("Password: ")) << cli.screen;
        EXPECT_EQ(cli.Terminal().c_lflag & ECHO, 0u) << "typing shows";
        cli.Type(c.keys);
        if (c.signal != 0) {
            cli.WaitFor("\x04never", 0, 200ms); // the keys are in before the signal
            cli.Signal(c.signal);
        }
        EXPECT_EQ(cli.WaitForExit(), c.status) << cli.screen;
        EXPECT_TRUE(SameTerminal(cli.Terminal(), PtyCli::InitialTerminal()));
        EXPECT_EQ(cli.screen.find("half"), std::string::npos) << cli.screen;
    }
}

// Under a shell's job control Ctrl+Z stops the program with the terminal as it was, and the
// question comes again, hidden, when the job goes on.
TEST_F(CliTest, CtrlZAtThePasswordQuestionStopsWithTheTerminalAsItWas) {
    StartServer();
    PtyCli::Options options;
    options.env = {{"VYR_PASSWORD", ""}};
    options.underJobControl = true;
    PtyCli cli(home, To({"--players"}), options);
    ASSERT_TRUE(cli.WaitFor("Password: ")) << cli.screen;
    cli.Type("half\x1a");
    ASSERT_TRUE(cli.WaitFor("[stopped]")) << cli.screen;
    EXPECT_TRUE(SameTerminal(cli.Terminal(), PtyCli::InitialTerminal()));
    const std::size_t from = cli.screen.size();
    cli.Type("\n"); // the shell's `fg`
    ASSERT_TRUE(cli.WaitFor("Password: ", from)) << cli.screen;
    EXPECT_EQ(cli.Terminal().c_lflag & ECHO, 0u);
    cli.Type("admin\r");
    EXPECT_TRUE(cli.WaitFor("VALUE  NAME", from)) << cli.screen;
    EXPECT_EQ(cli.WaitForExit(), 0) << cli.screen;
    EXPECT_TRUE(SameTerminal(cli.Terminal(), PtyCli::InitialTerminal()));
}

// A FIFO where the history file should be: said once, never opened to wait on, left as it is;
// the prompt keeps its history for the run.
TEST_F(CliTest, AFifoInPlaceOfTheHistoryIsSaidAndNothingWaits) {
    StartServer();
    const std::string fifo = home + "/state/vyr/cli_history";
    ASSERT_EQ(mkdir((home + "/state").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((home + "/state/vyr").c_str(), 0700), 0);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    PtyCli cli(home, To({"--no-color"}));
    ASSERT_TRUE(cli.WaitFor("vyr> ")) << cli.screen;
    EXPECT_TRUE(cli.WaitFor("cli_history is not a regular file")) << cli.screen;
    cli.Type("after the fifo\r");
    EXPECT_TRUE(ServerSaid("chat: after the fifo\n")) << cli.screen;
    cli.Type("\x1b[A\r"); // from the history of the run
    EXPECT_TRUE(cli.WaitFor("<after the fifo>", cli.screen.find("<after the fifo>") + 1))
        << cli.screen;
    ASSERT_TRUE(cli.Signal(SIGTERM));
    EXPECT_EQ(cli.WaitForExit(5s), 0);
    struct stat info {};
    ASSERT_EQ(stat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A full disk (here: a file size limit, SIGXFSZ ignored) keeps the old history whole and is said
// once; the lines still go.
TEST_F(CliTest, AFullDiskKeepsTheOldHistoryAndIsSaidOnce) {
    StartServer();
    const std::string history = home + "/state/vyr/cli_history";
    ASSERT_EQ(mkdir((home + "/state").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((home + "/state/vyr").c_str(), 0700), 0);
    std::ofstream(history) << "old\n";
    PtyCli::Options options;
    options.inChild = [] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{8, 8};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    PtyCli cli(home, To({"--no-color"}), options);
    ASSERT_TRUE(cli.WaitFor("vyr> ")) << cli.screen;
    cli.Type("first line\rsecond line\r");
    EXPECT_TRUE(ServerSaid("chat: second line\n")) << cli.screen;
    cli.Type(":quit\r");
    EXPECT_EQ(cli.WaitForExit(), 0);
    const std::string message = "The command history cannot be saved: " + history;
    const std::size_t said = cli.screen.find(message);
    EXPECT_NE(said, std::string::npos) << cli.screen;
    EXPECT_EQ(cli.screen.find(message, said + 1), std::string::npos) << cli.screen;
    std::ifstream file(history);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), "old\n");
}

} // namespace
