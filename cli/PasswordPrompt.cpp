#include "cli/PasswordPrompt.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/SecretMemory.h"
#include "platform/WholeFile.h"

namespace {

// A line longer than this is no password; the rest of it is read and dropped.
constexpr std::size_t MAX_PASSWORD = 4096;
constexpr int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGTSTP};

int wakePipe[2] = {-1, -1};

void OnSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = write(wakePipe[1], &byte, 1);
    errno = saved;
}

// The handlers of the question, for as long as it is asked; the ones before come back after.
class QuestionSignals {
  public:
    QuestionSignals() {
        if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            wakePipe[0] = wakePipe[1] = -1;
        }
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(SIGNALS); ++i) {
            sigaction(SIGNALS[i], &action, &before[i]);
        }
    }
    ~QuestionSignals() {
        for (std::size_t i = 0; i < std::size(SIGNALS); ++i) {
            sigaction(SIGNALS[i], &before[i], nullptr);
        }
        close(wakePipe[0]);
        close(wakePipe[1]);
        wakePipe[0] = wakePipe[1] = -1;
    }
    QuestionSignals(const QuestionSignals&) = delete;
    QuestionSignals& operator=(const QuestionSignals&) = delete;

    int Taken() const {
        char byte = 0;
        return read(wakePipe[0], &byte, 1) == 1 ? byte : 0;
    }

    // Stops the program as SIGTSTP would have, until SIGCONT.
    void Stop() {
        struct sigaction stop {};
        stop.sa_handler = SIG_DFL;
        sigemptyset(&stop.sa_mask);
        struct sigaction mine {};
        sigaction(SIGTSTP, &stop, &mine);
        raise(SIGTSTP);
        sigaction(SIGTSTP, &mine, nullptr);
    }

  private:
    struct sigaction before[std::size(SIGNALS)]{};
};

void HideTyping(const termios& shown, const char* prompt) {
    termios hidden = shown;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    hidden.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    WriteAll(STDERR_FILENO, prompt); // asked once nothing typed can show
}

} // namespace

PasswordAnswer AskPasswordWithoutEcho(const char* prompt) {
    termios shown{};
    if (tcgetattr(STDIN_FILENO, &shown) != 0) {
        return {};
    }
    QuestionSignals signals;
    HideTyping(shown, prompt);
    PasswordAnswer answer;
    std::string line;
    line.reserve(MAX_PASSWORD); // never moved, so no copy is left behind
    while (!answer.password) {
        pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {wakePipe[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0 && errno != EINTR) {
            break;
        }
        if (const int signal = signals.Taken(); signal == SIGTSTP) {
            tcsetattr(STDIN_FILENO, TCSANOW, &shown);
            WriteAll(STDERR_FILENO, "\n");
            signals.Stop();
            line.clear(); // the half-typed line was flushed: it is typed again
            HideTyping(shown, prompt);
            continue;
        } else if (signal != 0) {
            answer.signal = signal;
            break;
        }
        if ((waits[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        // Only the bytes the terminal holds, one by one: whatever follows the line stays unread
        // for the prompt that comes next, and no read waits.
        int available = 0;
        if (ioctl(STDIN_FILENO, FIONREAD, &available) != 0 || available == 0) {
            break; // the end of input
        }
        for (char c = 0; available > 0 && read(STDIN_FILENO, &c, 1) == 1; --available) {
            if (c == '\n') {
                answer.password = line;
                break;
            }
            if (line.size() < MAX_PASSWORD) {
                line += c;
            }
        }
    }
    tcsetattr(STDIN_FILENO, TCSANOW, &shown);
    if (!answer.password) {
        WriteAll(STDERR_FILENO, "\n"); // ECHONL wrote none
    }
    Wipe(line);
    return answer;
}
