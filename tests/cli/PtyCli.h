#pragma once
// vyr-cli on the slave side of a pseudo-terminal; the test types on the master side. Every wait
// is bounded.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/cli/CliProcess.h"

class PtyCli {
  public:
    PtyCli(const std::string& home, const std::vector<std::string>& args,
           std::map<std::string, std::string> env = {}) {
        env.emplace("TERM", "xterm");
        CliCommand command(home, args, env);
        winsize size{24, 100, 0, 0};
        pid = forkpty(&master, nullptr, nullptr, &size);
        if (pid == 0) {
            command.Exec();
        }
    }
    ~PtyCli() {
        if (pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(master);
    }
    PtyCli(const PtyCli&) = delete;
    PtyCli& operator=(const PtyCli&) = delete;

    void Type(const std::string& keys) {
        EXPECT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    // Reads the screen output until `text` appears after `from`; true when it did.
    bool WaitFor(const std::string& text, std::size_t from = 0,
                 std::chrono::milliseconds t = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + t;
        while (screen.find(text, from) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            pollfd readable{master, POLLIN, 0};
            char chunk[4096];
            if (poll(&readable, 1, 20) > 0) {
                const ssize_t n = read(master, chunk, sizeof chunk);
                if (n <= 0) {
                    break;
                }
                screen.append(chunk, static_cast<std::size_t>(n));
            }
        }
        return screen.find(text, from) != std::string::npos;
    }
    int Exit() {
        // Drains the output until the process ends.
        WaitFor("\x04never", screen.size(), std::chrono::seconds(3));
        int status = -1;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string screen;

  private:
    pid_t pid = -1;
    int master = -1;
};
