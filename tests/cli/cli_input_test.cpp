// What vyr-cli takes in: password sources (files, pipes, settings others can read), console lines
// from every source, lines the wire cannot carry, kick and ban targets, and hostile server text
// on the way out; and where the password must never end up.

#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/Protocol.h"
#include "tests/cli/CliFixture.h"
#include "tests/support/UdpPeer.h"

namespace {

using namespace std::chrono_literals;

// How often `text` stands in the memory of process `pid`, read through /proc as a debugger reads
// it; 0 when it may not be read at all. Mappings too large to be the program's own data (a
// sanitizer's shadow) are left out.
int CopiesInMemory(pid_t pid, const std::string& text) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream maps(proc + "/maps");
    std::ifstream memory(proc + "/mem", std::ios::binary);
    int copies = 0;
    for (std::string line; memory.is_open() && std::getline(maps, line);) {
        unsigned long start = 0, end = 0;
        char readable = '-';
        if (std::sscanf(line.c_str(), "%lx-%lx %c", &start, &end, &readable) != 3 ||
            readable != 'r' || end - start > (1ul << 30)) {
            continue;
        }
        std::string bytes;
        std::vector<char> chunk(1 << 20);
        for (unsigned long at = start; at < end; at += chunk.size()) {
            memory.clear();
            memory.seekg(static_cast<std::streamoff>(at));
            memory.read(chunk.data(), static_cast<std::streamsize>(
                                          std::min<unsigned long>(chunk.size(), end - at)));
            bytes.append(chunk.data(), static_cast<std::size_t>(memory.gcount()));
            for (std::size_t found = bytes.find(text); found != std::string::npos;
                 found = bytes.find(text, found + 1)) {
                ++copies;
            }
            // Keeps the tail that a copy across two chunks starts in.
            bytes.erase(0, bytes.size() - std::min(bytes.size(), text.size() - 1));
        }
    }
    return copies;
}

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
        mode_t iniMode = 0600;
        bool warned = false; // of a saved password that others can read
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
        {"saved password that others can read",
         To({"/list"}),
         {{"VYR_PASSWORD", ""}},
         "[Remote Admin]\r\nSavePass=true\r\nPassword=admin\r\n",
         0,
         0644,
         true},
        {"password not saved",
         To({"/list"}),
         {{"VYR_PASSWORD", ""}},
         "[Remote Admin]\r\nSavePass=false\r\nPassword=admin\r\n",
         2},
        {"missing password file", To({"--password-file", home + "/none", "/list"}), {}, "", 2},
    };
    for (const Case& c : cases) {
        WriteFile(ini, c.iniText);
        chmod(ini.c_str(), c.iniMode);
        CliProcess cli(home, c.args, c.env);
        EXPECT_EQ(RunCli(cli), c.status) << c.what << "\n" << cli.err;
        const std::size_t warning = cli.err.find("can be read by other users; make the file "
                                                 "private: chmod 600 " +
                                                 ini);
        EXPECT_EQ(warning != std::string::npos, c.warned) << c.what << "\n" << cli.err;
        EXPECT_EQ(cli.err.find("can be read", warning + 1), std::string::npos) << "said once";
    }
    // A FIFO in place of vyr.ini is said and never waited on.
    std::filesystem::remove(ini);
    ASSERT_EQ(mkfifo(ini.c_str(), 0600), 0);
    CliProcess withFifo(home, To({"/list"}));
    EXPECT_EQ(RunCli(withFifo), 0) << withFifo.err;
    EXPECT_NE(withFifo.err.find(ini + " is not a regular file; it is not read"), std::string::npos)
        << withFifo.err;
}

// A password handed over on a pipe: a FIFO that another process writes to (as `<(pass show
// game)` hands one over), or stdin when the commands come from the options. At most 4 KiB is read.
TEST_F(CliTest, PasswordFromAFifoOrStdin) {
    StartServer();
    const std::string fifo = home + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        const char* what;
        std::vector<std::string> args;
        std::string written; // to the FIFO, a moment after the start
        std::string input;
        int status;
        const char* err;
    };
    const Case cases[] = {
        {"a FIFO written to later", To({"--password-file", fifo, "/list"}), "admin\nnot read\n", "",
         0, ""},
        {"a FIFO without a line end in 4 KiB", To({"--password-file", fifo, "/list"}),
         std::string(5000, 'x'), "", 2, "no line end within its first 4096 bytes"},
        {"stdin, the commands in the options", To({"--password-file", "/dev/stdin", "/list"}), "",
         "admin\n", 0, ""},
        {"stdin that carries the commands", To({"--password-file", "/dev/stdin"}), "",
         "admin\n/list\n", 2, "reads stdin, which carries the console lines too"},
        {"a device", To({"--password-file", "/dev/null", "/list"}), "", "", 2,
         "not a regular file, pipe or FIFO"},
    };
    for (const Case& c : cases) {
        CliProcess cli(home, c.args, {{"VYR_PASSWORD", ""}}, c.input);
        std::thread writer([&] {
            if (c.written.empty()) {
                return;
            }
            std::this_thread::sleep_for(300ms);
            // Opened once the reader is there (until then the open fails), for at most 10 s.
            int fd = -1;
            for (int i = 0; i < 500 && fd < 0; ++i) {
                fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
                std::this_thread::sleep_for(20ms);
            }
            EXPECT_EQ(write(fd, c.written.data(), c.written.size()),
                      static_cast<ssize_t>(c.written.size()));
            close(fd);
        });
        EXPECT_EQ(RunCli(cli), c.status) << c.what << "\n" << cli.err;
        EXPECT_NE(cli.err.find(c.err), std::string::npos) << c.what << "\n" << cli.err;
        writer.join();
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

// Console lines given as options follow the same rule: a blank one is not sent, and leading
// blanks are dropped.
TEST_F(CliTest, OptionLinesAreCleanedAsTypedAndPipedOnes) {
    StartServer();
    CliProcess cli(home, To({"-w", "0.3", "-c", "", "-c", "   padded", "-c", " \t", "last"}));
    EXPECT_EQ(RunCli(cli), 0) << cli.err;
    ASSERT_TRUE(ServerSaid("chat: last\n"));
    EXPECT_NE(server.Output().find("chat: padded\nchat: last\n"), std::string::npos)
        << server.Output();
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
    fake.Send(wire::EncodeListText("10.0.0.7|Disconnected: Server shutdown.|"));
    EXPECT_TRUE(cli.WaitForOutput("forged"));
    EXPECT_TRUE(cli.WaitForOutput("Server shutdown.\n"));
    cli.Signal(SIGTERM);
    cli.WaitForExit();
    EXPECT_EQ(cli.out.find('\x1B'), std::string::npos) << cli.out;
    EXPECT_NE(cli.out.find("Ev\\x1b[2Jil has joined the game."), std::string::npos) << cli.out;
    EXPECT_NE(cli.out.find("<\\x1b]0;owned\\x07\\nforged\\r\xC3\xA9>"), std::string::npos)
        << cli.out;
    // List entries are indented, so that none passes for a line of the tool's own.
    EXPECT_NE(cli.out.find("\n  10.0.0.7\n  Disconnected: Server shutdown.\n"), std::string::npos)
        << cli.out;
    EXPECT_EQ(cli.out.find("\nDisconnected: Server shutdown."), std::string::npos) << cli.out;
}

// The password reaches no core dump (the process is not dumpable while it holds one: an abort
// that dumps another program's core leaves none of vyr-cli's), and vyr-cli keeps no copy of it
// once the login is sent.
TEST_F(CliTest, ThePasswordReachesNoCoreDumpAndIsWipedAfterTheLogin) {
    const std::string password = "Sesame-7f3c9a1b2e";
    StartServer({"--players", "3", "--rate", "5", "--password", password});
    WriteFile(home + "/pw", password + "\n");
    const std::string dumps = home + "/dumps";
    ASSERT_EQ(mkdir(dumps.c_str(), 0700), 0);
    const auto dumpHere = [&dumps] {
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_CORE, &unlimited);
        signal(SIGABRT, SIG_DFL);
        [[maybe_unused]] const int changed = chdir(dumps.c_str());
    };
    // Whether this machine writes core files where the process runs at all.
    const pid_t control = fork();
    if (control == 0) {
        dumpHere();
        raise(SIGABRT);
        _exit(0);
    }
    int raw = 0;
    ASSERT_EQ(waitpid(control, &raw, 0), control);
    const bool coresWritten =
        std::filesystem::directory_iterator(dumps) != std::filesystem::directory_iterator();
    std::filesystem::remove_all(dumps);
    ASSERT_EQ(mkdir(dumps.c_str(), 0700), 0);

    CliProcess cli(home, To({"--follow", "--password-file", home + "/pw"}), {{"VYR_PASSWORD", ""}},
                   "", dumpHere);
    ASSERT_TRUE(cli.WaitForOutput("Connected.")) << cli.err;
    ASSERT_TRUE(cli.WaitForOutput("game.")); // events come: the session runs
    // Every copy is wiped once the login is sent, the login datagram's too.
    EXPECT_EQ(CopiesInMemory(cli.Pid(), password), 0);
    cli.Signal(SIGABRT);
    EXPECT_EQ(cli.WaitForExit(), 128 + SIGABRT);
    if (coresWritten) {
        EXPECT_EQ(std::filesystem::directory_iterator(dumps),
                  std::filesystem::directory_iterator());
    } else {
        std::cout << "[   NOTE   ] no core file is written here: the core dump was not checked\n";
    }
}

} // namespace
