#pragma once
// A password printed by a command, as git credential helpers and ssh's ProxyCommand do it:
// `/bin/sh -c COMMAND` with stdin from /dev/null; the first line of its stdout is the password.
// The command runs on a worker thread, so the caller's event loop never waits: it watches
// ReadyFd() and then takes the answer. A command that fails (exit status, nothing printed, a
// first line over 4 KiB, no end within the time limit) gives a problem that says so, with the
// last line the command wrote to stderr.

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/profiles/ReadyFlag.h"
#include "core/profiles/SecretText.h"

struct CommandAnswer {
    SecretText password; // when `problem` is empty
    std::string problem;
};

class CPasswordCommand {
  public:
    // Long enough to type a passphrase into a pinentry the command may bring up.
    static constexpr std::chrono::seconds DEFAULT_TIME_LIMIT{60};
    // The longest first line taken, its newline not counted.
    static constexpr std::size_t MAX_LINE = 4096;

    // Starts the command at once.
    explicit CPasswordCommand(std::string command,
                              std::chrono::milliseconds timeLimit = DEFAULT_TIME_LIMIT);
    // Kills a command still running, with the processes it started, and waits for the worker.
    ~CPasswordCommand();
    CPasswordCommand(const CPasswordCommand&) = delete;
    CPasswordCommand& operator=(const CPasswordCommand&) = delete;

    // Readable once the answer is there.
    int ReadyFd() const { return ready.Fd(); }
    // The answer, once; nothing before it is there or after it was taken.
    std::optional<CommandAnswer> TakeAnswer();

  private:
    CommandAnswer Run() const;

    const std::string command;
    const std::chrono::milliseconds timeLimit;
    CReadyFlag ready;
    CReadyFlag stop; // raised by the destructor: the worker ends the command
    std::mutex mutex;
    std::optional<CommandAnswer> answer;
    std::thread worker;
};
