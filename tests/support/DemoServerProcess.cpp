#include "tests/support/DemoServerProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

DemoServerProcess::DemoServerProcess(std::string executable, const std::vector<std::string>& args)
    : DemoServerProcess(std::move(executable)) {
    if (!Start(args)) {
        std::fprintf(stderr, "%s did not start:\n%s\n", this->executable.c_str(), Output().c_str());
        std::abort();
    }
}

DemoServerProcess::~DemoServerProcess() {
    if (Signal(SIGKILL)) {
        waitpid(pid, nullptr, 0);
    }
    close(outputFd); // -1 once the pipe has ended: harmless
}

bool DemoServerProcess::Start(const std::vector<std::string>& args, Ms timeout) {
    std::vector<std::string> words{executable, "--port", "0"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv(words.size() + 1, nullptr);
    std::transform(words.begin(), words.end(), argv.begin(), [](auto& w) { return w.data(); });
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0 || (pid = fork()) < 0) {
        return false;
    }
    if (pid == 0) {
        // Async-signal-safe calls only. A test killed at its time-out runs no destructor: the
        // server must not outlive it.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(fds[1], STDOUT_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    outputFd = fds[0];
    // The line reads "listening on ADDRESS:PORT".
    const auto lineEnd = [this] {
        const std::size_t start = output.find("listening on ");
        return start == std::string::npos ? start : output.find('\n', start);
    };
    WaitUntil([&] { return outputFd < 0 || lineEnd() != std::string::npos; }, timeout);
    if (lineEnd() != std::string::npos) {
        port = std::atoi(output.c_str() + output.rfind(':', lineEnd()) + 1);
    }
    return port > 0;
}

const std::string& DemoServerProcess::Output() {
    ReadOutput(Ms(0));
    return output;
}

bool DemoServerProcess::Signal(int signal) {
    return pid > 0 && !Reap() && kill(pid, signal) == 0;
}

std::optional<int> DemoServerProcess::WaitForExit(Ms timeout) {
    WaitUntil([this] { return Reap(); }, timeout);
    return exitStatus;
}

// Reads the output meanwhile, so that a chatty server cannot block on the pipe.
bool DemoServerProcess::WaitUntil(const std::function<bool()>& done, Ms timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= Ms(0)) {
            return false;
        }
        ReadOutput(std::min(std::chrono::duration_cast<Ms>(left), Ms(20)));
    }
    return true;
}

void DemoServerProcess::ReadOutput(Ms wait) {
    pollfd readable{outputFd, POLLIN, 0}; // once the pipe has ended this only waits
    char chunk[4096];
    for (int ms = static_cast<int>(wait.count()); poll(&readable, 1, ms) > 0; ms = 0) {
        const ssize_t n = read(outputFd, chunk, sizeof chunk);
        if (n <= 0) {
            close(outputFd);
            outputFd = -1;
            return;
        }
        output.append(chunk, static_cast<std::size_t>(n));
    }
}

bool DemoServerProcess::Reap() {
    int status = 0;
    if (!exitStatus && pid > 0 && waitpid(pid, &status, WNOHANG) == pid) {
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    return exitStatus.has_value();
}
