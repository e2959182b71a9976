#include "tests/support/DemoServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds SLICE{20};

milliseconds Remaining(Clock::time_point deadline) {
    return std::max(milliseconds(0),
                    std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
}

} // namespace

DemoServerProcess::DemoServerProcess(std::string executable) : executable(std::move(executable)) {}

DemoServerProcess::~DemoServerProcess() {
    if (pid > 0 && !exitStatus) {
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    if (outputFd >= 0) {
        close(outputFd);
    }
}

bool DemoServerProcess::Start(const std::vector<std::string>& args,
                              std::chrono::milliseconds timeout) {
    std::vector<std::string> words{executable, "--port", "0"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec. A test killed at its time-out runs
        // no destructor: the server must not outlive it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return false;
    }
    outputFd = fds[0];

    // The line reads "listening on ADDRESS:PORT".
    const std::string marker = "listening on ";
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        const std::size_t lineStart = output.find(marker);
        const std::size_t lineEnd =
            lineStart == std::string::npos ? lineStart : output.find('\n', lineStart);
        if (lineEnd != std::string::npos) {
            const std::string line = output.substr(lineStart, lineEnd - lineStart);
            port = std::atoi(line.substr(line.rfind(':') + 1).c_str());
            return port > 0;
        }
        if (outputFd < 0 || Clock::now() >= deadline) {
            return false;
        }
        ReadOutput(std::min(SLICE, Remaining(deadline)));
    }
}

const std::string& DemoServerProcess::Output() {
    ReadOutput(milliseconds(0));
    return output;
}

bool DemoServerProcess::WaitForOutput(std::string_view text, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (output.find(text) == std::string::npos) {
        if (outputFd < 0 || Clock::now() >= deadline) {
            return false;
        }
        ReadOutput(std::min(SLICE, Remaining(deadline)));
    }
    return true;
}

bool DemoServerProcess::Signal(int signal) {
    return pid > 0 && !Reap() && kill(pid, signal) == 0;
}

std::optional<int> DemoServerProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!Reap() && Clock::now() < deadline) {
        // Keeps the pipe drained meanwhile, so a chatty server cannot block on it.
        ReadOutput(std::min(SLICE, Remaining(deadline)));
    }
    return exitStatus;
}

std::optional<int> DemoServerProcess::Stop(std::chrono::milliseconds timeout) {
    Signal(SIGTERM);
    if (!WaitForExit(timeout)) {
        Signal(SIGKILL);
        WaitForExit(timeout);
    }
    return exitStatus;
}

void DemoServerProcess::ReadOutput(std::chrono::milliseconds wait) {
    if (outputFd < 0) {
        poll(nullptr, 0, static_cast<int>(wait.count()));
        return;
    }
    pollfd readable{outputFd, POLLIN, 0};
    int waitMs = static_cast<int>(wait.count());
    while (poll(&readable, 1, waitMs) > 0) {
        char chunk[4096];
        const ssize_t n = read(outputFd, chunk, sizeof chunk);
        if (n <= 0) {
            close(outputFd);
            outputFd = -1;
            return;
        }
        output.append(chunk, static_cast<std::size_t>(n));
        waitMs = 0; // take what else is waiting, then return
    }
}

// True once the server has exited (recording how).
bool DemoServerProcess::Reap() {
    if (exitStatus) {
        return true;
    }
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, WNOHANG) != pid) {
        return false;
    }
    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return true;
}
