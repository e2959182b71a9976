#include "tests/cli/PtyCli.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>

#include "tests/cli/CliProcess.h"

namespace {

int StatusOf(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

// The shell's part: the job in the foreground, a stop reported, the job continued after a line.
[[noreturn]] void RunAsJob(CliCommand& command) {
    signal(SIGTTOU, SIG_IGN); // taking the terminal back from the stopped job
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        tcsetpgrp(STDIN_FILENO, getpid());
        signal(SIGTTOU, SIG_DFL);
        command.Exec();
    }
    setpgid(job, job);
    tcsetpgrp(STDIN_FILENO, job);
    int raw = 0;
    while (waitpid(job, &raw, WUNTRACED) == job && WIFSTOPPED(raw)) {
        tcsetpgrp(STDIN_FILENO, getpid());
        const char stopped[] = "[stopped]\n";
        [[maybe_unused]] ssize_t n = write(STDOUT_FILENO, stopped, sizeof stopped - 1);
        for (char c = 0; read(STDIN_FILENO, &c, 1) == 1 && c != '\n';) {
        }
        tcsetpgrp(STDIN_FILENO, job);
        kill(-job, SIGCONT);
    }
    _exit(StatusOf(raw));
}

// A terminal as a login shell leaves it: canonical, echoing, signals on.
termios LoginShellTerminal() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IUTF8;
    t.c_oflag = OPOST | ONLCR;
    t.c_cflag = CS8 | CREAD | B38400;
    t.c_lflag = ISIG | ICANON | ECHO | ECHOE | ECHOK | ECHOCTL | ECHOKE | IEXTEN;
    const cc_t keys[][2] = {{VINTR, 3},  {VQUIT, 28}, {VERASE, 127}, {VKILL, 21},  {VEOF, 4},
                            {VSUSP, 26}, {VMIN, 1},   {VTIME, 0},    {VSTART, 17}, {VSTOP, 19}};
    for (const auto& [index, value] : keys) {
        t.c_cc[index] = value;
    }
    return t;
}

} // namespace

// As the kernel keeps them.
termios PtyCli::InitialTerminal() {
    termios wanted = LoginShellTerminal(), kept{};
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, &wanted, nullptr) == 0) {
        tcgetattr(master, &kept);
        close(master);
        close(slave);
    }
    return kept;
}

bool SameTerminal(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::equal(std::begin(a.c_cc), std::end(a.c_cc), b.c_cc);
}

PtyCli::PtyCli(const std::string& home, const std::vector<std::string>& args)
    : PtyCli(home, args, Options{}) {}

PtyCli::PtyCli(const std::string& home, const std::vector<std::string>& args, Options options) {
    std::map<std::string, std::string> env{{"TERM", "xterm"}, {"LC_ALL", "C.UTF-8"}};
    for (const auto& [name, value] : options.env) {
        env[name] = value;
    }
    CliCommand command(home, args, env);
    int pipeFds[2] = {-1, -1};
    if (options.stdoutToPipe && pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    termios initial = LoginShellTerminal();
    winsize size{24, 100, 0, 0};
    pid = forkpty(&master, nullptr, &initial, &size);
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (options.stdoutToPipe) {
            dup2(pipeFds[1], STDOUT_FILENO);
        }
        if (options.inChild) {
            options.inChild();
        }
        if (options.underJobControl) {
            RunAsJob(command);
        }
        command.Exec();
    }
    if (options.stdoutToPipe) {
        close(pipeFds[1]);
        outFd = pipeFds[0];
    }
}

PtyCli::~PtyCli() {
    if (pid > 0 && !status) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    close(master);
    if (outFd >= 0) {
        close(outFd);
    }
}

void PtyCli::Type(const std::string& keys) {
    EXPECT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
}

void PtyCli::Pump(int timeoutMs) {
    pollfd fds[2] = {{master, POLLIN, 0}, {outFd, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) {
        return;
    }
    char chunk[4096];
    for (int k = 0; k < 2; ++k) {
        if (fds[k].revents != 0) {
            const ssize_t n = read(fds[k].fd, chunk, sizeof chunk);
            if (n > 0) {
                (k == 0 ? screen : out).append(chunk, static_cast<std::size_t>(n));
            }
        }
    }
}

bool PtyCli::WaitFor(const std::string& text, std::size_t from, Ms timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (screen.find(text, from) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        Pump(20);
    }
    return screen.find(text, from) != std::string::npos;
}

bool PtyCli::WaitForOut(const std::string& text, Ms timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        Pump(20);
    }
    return out.find(text) != std::string::npos;
}

std::optional<int> PtyCli::WaitForExit(Ms timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!status && std::chrono::steady_clock::now() < deadline) {
        Pump(20);
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            status = StatusOf(raw);
        }
    }
    for (int i = 0; i < 5; ++i) {
        Pump(0); // what was written before the exit
    }
    return status;
}

bool PtyCli::Signal(int signal) {
    return pid > 0 && !status && kill(pid, signal) == 0;
}

termios PtyCli::Terminal() const {
    termios now{};
    tcgetattr(master, &now); // a master reports its slave's settings
    return now;
}
