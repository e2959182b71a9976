#include "tests/cli/CliProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

std::string MakeTempHome() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/vyr-cli-test-XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

CliCommand::CliCommand(const std::string& home, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env)
    : words{VYR_CLI_PATH} {
    std::map<std::string, std::string> all{{"HOME", home},
                                           {"XDG_CONFIG_HOME", home + "/config"},
                                           {"XDG_STATE_HOME", home + "/state"},
                                           {"PATH", "/usr/bin:/bin"},
                                           {"VYR_PASSWORD", "admin"}};
    // The sanitizers' settings (a sanitized build's suppressions) reach the child as well.
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            all[name] = value;
        }
    }
    for (const auto& [name, value] : env) {
        all[name] = value;
    }
    words.insert(words.end(), args.begin(), args.end());
    for (const auto& [name, value] : all) {
        if (!value.empty()) {
            vars.push_back(name + "=" + value);
        }
    }
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    for (std::string& w : vars) {
        envp.push_back(w.data());
    }
    argv.push_back(nullptr);
    envp.push_back(nullptr);
}

void CliCommand::Exec() {
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
}

CliProcess::CliProcess(const std::string& home, const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env, std::string stdinText,
                       const std::function<void()>& inChild)
    : input(std::move(stdinText)) {
    CliCommand command(home, args, env);
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0 ||
        (pid = fork()) < 0) {
        return;
    }
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        if (inChild) {
            inChild();
        }
        command.Exec();
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    inFd = in[1];
    outFd = out[0];
    errFd = err[0];
    fcntl(inFd, F_SETFL, O_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);
}

CliProcess::~CliProcess() {
    if (Signal(SIGKILL)) {
        waitpid(pid, nullptr, 0);
    }
    for (int fd : {inFd, outFd, errFd}) {
        close(fd);
    }
}

void CliProcess::Pump(int timeoutMs) {
    if (inFd >= 0 && input.empty()) {
        close(inFd);
        inFd = -1;
    }
    pollfd fds[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {inFd, POLLOUT, 0}};
    if (poll(fds, 3, timeoutMs) <= 0) {
        return;
    }
    char chunk[65536];
    for (int k = 0; k < 2; ++k) {
        if (fds[k].revents != 0) {
            const ssize_t n = read(fds[k].fd, chunk, sizeof chunk);
            if (n > 0) {
                (k == 0 ? out : err).append(chunk, static_cast<std::size_t>(n));
            }
        }
    }
    if (fds[2].revents != 0) {
        const ssize_t n = write(inFd, input.data(), input.size());
        input.erase(0, n > 0 ? static_cast<std::size_t>(n) : input.size());
    }
}

bool CliProcess::WaitForOutput(const std::string& text, Ms timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        Pump(20);
    }
    return out.find(text) != std::string::npos;
}

std::optional<int> CliProcess::WaitForExit(Ms timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status && std::chrono::steady_clock::now() < deadline) {
        Pump(20);
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        }
    }
    for (int i = 0; i < 5; ++i) {
        Pump(0); // what was written before the exit
    }
    return status;
}

bool CliProcess::Signal(int signal) {
    return pid > 0 && !status && kill(pid, signal) == 0;
}

int RunCli(CliProcess& process) {
    return process.WaitForExit().value_or(-1);
}
