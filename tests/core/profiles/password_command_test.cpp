#include "core/profiles/PasswordCommand.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Waits for the answer as an event loop does, on ReadyFd(), with a bound far above any run.
CommandAnswer AnswerOf(CPasswordCommand& command) {
    pollfd ready{command.ReadyFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 60000), 1) << "no answer within a minute";
    std::optional<CommandAnswer> answer = command.TakeAnswer();
    if (!answer) {
        ADD_FAILURE() << "readable, yet no answer";
        return {};
    }
    EXPECT_FALSE(command.TakeAnswer()) << "one answer only";
    return std::move(*answer);
}

// True once `pid` has ended (gone, or a zombie waiting for its new parent), within 10 s.
bool Ends(pid_t pid) {
    for (int i = 0; i < 1000; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.substr(line.rfind(')') + 2, 1) == "Z") {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// The number a command wrote into `file` once it is there, within 10 s.
pid_t PidIn(const std::string& file) {
    for (int i = 0; i < 1000; ++i) {
        pid_t pid = 0;
        if (std::ifstream(file) >> pid) {
            return pid;
        }
        std::this_thread::sleep_for(10ms);
    }
    return 0;
}

struct CommandCase {
    std::string command;
    const char* password; // expected, or null when it must fail
    const char* problem;  // a part of the expected problem
};

TEST(PasswordCommand, TakesTheFirstLineOrSaysWhyNot) {
    ::setenv("VYR_TEST_SECRET", "from-the-environment", 1);
    const std::string a4096(4096, 'a');
    const CommandCase cases[] = {
        {"printf 'hunter2\\nsecond line\\n'", "hunter2", ""},
        {"printf 'crlf\\r\\nx'", "crlf", ""},
        {"printf 'no newline'", "no newline", ""},
        {"printf ' blanks stay \\n'", " blanks stay ", ""},
        {"echo \"$VYR_TEST_SECRET\"", "from-the-environment", ""},
        {"echo pw; echo 'a warning' >&2", "pw", ""},
        {"read line; echo \"[$line]\"", "[]", ""}, // stdin is /dev/null, nothing waits for a key
        {"echo pw; head -c 20000000 /dev/zero", "pw", ""},
        {"head -c 4096 /dev/zero | tr '\\0' a; echo", a4096.c_str(), ""},
        {"head -c 4097 /dev/zero | tr '\\0' a; echo", nullptr, "longer than 4096 bytes"},
        {"head -c 100000000 /dev/zero", nullptr, "longer than 4096 bytes"},
        {"echo 'gpg: decryption failed' >&2; echo pw; exit 2", nullptr,
         "failed with exit status 2: gpg: decryption failed"},
        {"/nonexistent/helper", nullptr, "exit status 127: "},
        {"kill -TERM $$", nullptr, "ended by signal 15"},
        {"true", nullptr, "printed nothing"},
        {"echo", nullptr, "is empty"},
        {"printf 'one\\033[31mred\\n\\n' >&2; exit 1", nullptr, "exit status 1: one?[31mred"},
    };
    for (const CommandCase& c : cases) {
        CPasswordCommand command(c.command);
        const CommandAnswer answer = AnswerOf(command);
        if (c.password != nullptr) {
            EXPECT_EQ(answer.problem, "") << c.command;
            EXPECT_EQ(answer.password.Text(), c.password) << c.command;
        } else {
            EXPECT_NE(answer.problem.find(c.problem), std::string::npos)
                << c.command << " -> " << answer.problem;
            EXPECT_TRUE(answer.password.Empty()) << c.command;
        }
    }
}

class PasswordCommandProcesses : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = (fs::temp_directory_path() / "vyr-command-XXXXXX").string();
        ASSERT_NE(::mkdtemp(dir.data()), nullptr);
        pidFile = dir + "/pid";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string dir;
    std::string pidFile;
};

TEST_F(PasswordCommandProcesses, ATimeOutEndsTheCommandAndWhatItStarted) {
    for (const std::string& command : {"sleep 60 & echo $! > " + pidFile + "; wait",
                                       "yes pw & echo $! > " + pidFile + "; wait"}) {
        CPasswordCommand slow(command, 300ms);
        const CommandAnswer answer = AnswerOf(slow);
        EXPECT_NE(answer.problem.find("did not finish within 300 ms"), std::string::npos)
            << answer.problem;
        const pid_t started = PidIn(pidFile);
        ASSERT_NE(started, 0);
        EXPECT_TRUE(Ends(started)) << command;
        fs::remove(pidFile);
    }
}

TEST_F(PasswordCommandProcesses, AProcessLeftHoldingStdoutIsNotWaitedFor) {
    // The shell ends at once; the background sleep keeps the pipe open for a minute.
    CPasswordCommand command("echo pw; sleep 60 & echo $! > " + pidFile, 30s);
    const CommandAnswer answer = AnswerOf(command);
    EXPECT_EQ(answer.problem, "");
    EXPECT_EQ(answer.password.Text(), "pw");
    const pid_t left = PidIn(pidFile);
    ASSERT_NE(left, 0);
    ::kill(left, SIGKILL);
}

TEST_F(PasswordCommandProcesses, DroppingTheRequestEndsTheCommand) {
    pid_t running = 0;
    {
        CPasswordCommand command("echo $$ > " + pidFile + "; exec sleep 60");
        running = PidIn(pidFile);
    }
    ASSERT_NE(running, 0);
    EXPECT_TRUE(Ends(running));
}

} // namespace
