#include "core/profiles/PasswordCommand.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

// glibc 2.36 declares pidfd_open without the extern "C" guards of its other headers.
extern "C" {
#include <sys/pidfd.h>
}

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// What of stderr is kept for the message: enough for its last lines.
constexpr std::size_t MAX_STDERR = 4096;
// The most of the command's last stderr line a message shows.
constexpr std::size_t MAX_SHOWN = 200;

class Fd {
  public:
    explicit Fd(int fd = -1) : fd(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd; }
    void Close() {
        if (fd >= 0) {
            ::close(fd);
        }
        fd = -1;
    }
    void Reset(int newFd) {
        Close();
        fd = newFd;
    }

  private:
    int fd;
};

struct Pipe {
    Fd read;
    Fd write;
    bool Open() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) {
            return false;
        }
        read.Reset(ends[0]);
        write.Reset(ends[1]);
        return ::fcntl(read.get(), F_SETFL, O_NONBLOCK) == 0;
    }
};

// Starts `/bin/sh -c command` as the leader of a new process group (so that a time-out ends
// whatever it started too), stdin from /dev/null, stdout and stderr into the pipes, no other
// descriptor of ours, and the signals as a fresh program expects them. 0 and errno on failure.
pid_t Spawn(const std::string& command, int out, int err) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawnattr_init(&attributes);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    ::posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    sigset_t none;
    sigset_t all;
    ::sigemptyset(&none);
    ::sigfillset(&all);
    ::sigdelset(&all, SIGKILL);
    ::sigdelset(&all, SIGSTOP);
    ::posix_spawnattr_setsigmask(&attributes, &none);
    ::posix_spawnattr_setsigdefault(&attributes, &all);
    ::posix_spawnattr_setpgroup(&attributes, 0);
    ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                                POSIX_SPAWN_SETSIGDEF);
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                    const_cast<char*>(command.c_str()), nullptr};
    pid_t pid = 0;
    const int failure = ::posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    errno = failure;
    return failure == 0 ? pid : 0;
}

std::string Duration(std::chrono::milliseconds time) {
    return time.count() % 1000 == 0 ? std::to_string(time.count() / 1000) + " s"
                                    : std::to_string(time.count()) + " ms";
}

// The last non-empty line of what the command wrote to stderr, safe to show.
std::string LastLine(const std::string& text) {
    const std::size_t end = text.find_last_not_of("\r\n \t");
    if (end == std::string::npos) {
        return {};
    }
    const std::size_t lineEnd = text.find_last_of('\n', end);
    std::string line = text.substr(lineEnd == std::string::npos ? 0 : lineEnd + 1,
                                   end - (lineEnd == std::string::npos ? 0 : lineEnd + 1) + 1);
    if (line.size() > MAX_SHOWN) {
        std::size_t cut = MAX_SHOWN;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut; // not inside a UTF-8 sequence
        }
        line = line.substr(0, cut) + "...";
    }
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return line;
}

// The command's output as it comes: the first line (kept, wiped at the end) and the tail of
// stderr; the rest of stdout is read and dropped so that the command never blocks on it.
struct Output {
    char line[CPasswordCommand::MAX_LINE];
    std::size_t lineLength = 0;
    bool lineEnded = false;
    bool tooLong = false;
    bool anything = false;
    std::string errors;

    ~Output() { ::explicit_bzero(line, sizeof line); }

    std::string_view Line() const {
        std::string_view taken(line, lineLength);
        if (!taken.empty() && taken.back() == '\r') {
            taken.remove_suffix(1);
        }
        return taken;
    }

    void TakeOut(const char* data, std::size_t n) {
        anything = anything || n > 0;
        if (lineEnded || tooLong) {
            return;
        }
        const char* newline = static_cast<const char*>(std::memchr(data, '\n', n));
        const std::size_t part = newline != nullptr ? std::size_t(newline - data) : n;
        if (lineLength + part > sizeof line) {
            tooLong = true;
            return;
        }
        std::memcpy(line + lineLength, data, part);
        lineLength += part;
        lineEnded = newline != nullptr;
    }

    void TakeErr(const char* data, std::size_t n) {
        errors.append(data, n);
        if (errors.size() > 2 * MAX_STDERR) {
            errors.erase(0, errors.size() - MAX_STDERR);
        }
    }
};

// Reads what `fd` has now, at most two pipe buffers' worth, so that a command that never stops
// writing cannot keep the loop from its time limit. False at the end (or on an error), when it
// should be closed.
template <typename Take> bool ReadAvailable(int fd, Take take) {
    char buffer[16384];
    bool open = true;
    for (int round = 0; open && round < 8; ++round) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            take(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EAGAIN) {
            break;
        }
        open = n < 0 && errno == EINTR;
    }
    ::explicit_bzero(buffer, sizeof buffer); // later lines may be secrets too
    return open;
}

std::string ExitProblem(int status) {
    if (WIFSIGNALED(status)) {
        return "the password command was ended by signal " + std::to_string(WTERMSIG(status)) +
               " (" + ::strsignal(WTERMSIG(status)) + ")";
    }
    if (WEXITSTATUS(status) != 0) {
        return "the password command failed with exit status " +
               std::to_string(WEXITSTATUS(status));
    }
    return {};
}

std::string Problem(const Output& output, bool timedOut, int status,
                    std::chrono::milliseconds timeLimit) {
    if (timedOut) {
        return "the password command did not finish within " + Duration(timeLimit);
    }
    if (output.tooLong) {
        return "the first line the password command printed is longer than " +
               std::to_string(CPasswordCommand::MAX_LINE) + " bytes";
    }
    std::string failed = ExitProblem(status);
    if (!failed.empty()) {
        return failed;
    }
    if (!output.anything) {
        return "the password command printed nothing";
    }
    return output.Line().empty() ? "the first line the password command printed is empty" : "";
}

} // namespace

CPasswordCommand::CPasswordCommand(std::string command, std::chrono::milliseconds timeLimit)
    : command(std::move(command)), timeLimit(timeLimit) {
    worker = std::thread([this] {
        CommandAnswer result = Run();
        const std::lock_guard<std::mutex> lock(mutex);
        answer = std::move(result);
        ready.Raise();
    });
}

CPasswordCommand::~CPasswordCommand() {
    stop.Raise();
    worker.join();
}

std::optional<CommandAnswer> CPasswordCommand::TakeAnswer() {
    const std::lock_guard<std::mutex> lock(mutex);
    std::optional<CommandAnswer> taken = std::move(answer);
    answer.reset();
    ready.Lower();
    return taken;
}

CommandAnswer CPasswordCommand::Run() const {
    CommandAnswer result;
    Pipe out;
    Pipe err;
    if (!out.Open() || !err.Open()) {
        result.problem =
            std::string("the password command could not be started: ") + std::strerror(errno);
        return result;
    }
    const pid_t pid = Spawn(command, out.write.get(), err.write.get());
    if (pid == 0) {
        result.problem =
            std::string("the password command could not be started: ") + std::strerror(errno);
        return result;
    }
    out.write.Close();
    err.write.Close();
    Fd exit(::pidfd_open(pid, 0));
    if (exit.get() < 0) {
        result.problem = std::string("the password command cannot be watched (pidfd_open): ") +
                         std::strerror(errno);
    }

    Output output;
    const auto takeOut = [&output](const char* d, std::size_t n) { output.TakeOut(d, n); };
    const auto takeErr = [&output](const char* d, std::size_t n) { output.TakeErr(d, n); };
    const Clock::time_point deadline = Clock::now() + timeLimit;
    bool timedOut = false;
    bool stopped = false;
    bool exited = false;
    int status = 0;
    while (result.problem.empty() && !exited && !output.tooLong) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd fds[] = {{stop.Fd(), POLLIN, 0},
                        {exit.get(), POLLIN, 0},
                        {out.read.get(), POLLIN, 0},
                        {err.read.get(), POLLIN, 0}};
        const long long wait = std::min<long long>(left.count(), INT_MAX);
        if (::poll(fds, 4, static_cast<int>(wait)) < 0) {
            continue; // EINTR
        }
        if (fds[0].revents != 0) {
            stopped = true;
            break;
        }
        if (fds[2].revents != 0 && !ReadAvailable(out.read.get(), takeOut)) {
            out.read.Close();
        }
        if (fds[3].revents != 0 && !ReadAvailable(err.read.get(), takeErr)) {
            err.read.Close();
        }
        exited = fds[1].revents != 0 && ::waitpid(pid, &status, 0) == pid;
    }
    if (!exited) {
        // Whatever the command started goes with it.
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    } else {
        // It has ended: what it wrote is in the pipes. A process it left behind holding them
        // open is not waited for.
        if (out.read.get() >= 0) {
            ReadAvailable(out.read.get(), takeOut);
        }
        if (err.read.get() >= 0) {
            ReadAvailable(err.read.get(), takeErr);
        }
    }
    if (stopped || !result.problem.empty()) {
        return result;
    }
    result.problem = Problem(output, timedOut, status, timeLimit);
    if (result.problem.empty()) {
        result.password = SecretText(output.Line());
        return result;
    }
    const std::string said = LastLine(output.errors);
    if (!said.empty()) {
        result.problem += ": " + said;
    }
    return result;
}
