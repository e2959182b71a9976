#pragma once
// Runs vyr-cli as a child process with a clean environment (private XDG folders), feeds its
// stdin from a string and collects stdout and stderr. Every wait is bounded.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// vyr-cli's argument and environment vectors, built before the fork: the child only calls Exec.
// `home` holds the config and state folders; `env` adds to (or, empty, removes from) the
// defaults, which log in as the demo server's admin with the password in VYR_PASSWORD.
class CliCommand {
  public:
    CliCommand(const std::string& home, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env);
    CliCommand(const CliCommand&) = delete;
    CliCommand& operator=(const CliCommand&) = delete;
    [[noreturn]] void Exec();

  private:
    std::vector<std::string> words, vars;
    std::vector<char*> argv, envp;
};

class CliProcess {
  public:
    using Ms = std::chrono::milliseconds;

    // `inChild` runs in the child just before vyr-cli is started (limits, working folder).
    CliProcess(const std::string& home, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, std::string input = "",
               const std::function<void()>& inChild = nullptr);
    ~CliProcess(); // kills and reaps a process still running

    bool WaitForOutput(const std::string& text, Ms timeout = Ms(10000));
    std::optional<int> WaitForExit(Ms timeout = Ms(20000));
    bool Signal(int signal);
    pid_t Pid() const { return pid; }

    std::string out;
    std::string err;

  private:
    void Pump(int timeoutMs);
    pid_t pid = -1;
    int inFd = -1, outFd = -1, errFd = -1;
    std::string input;
    std::optional<int> status;
};

// A fresh private folder under the test's temporary directory.
std::string MakeTempHome();
// Runs to the end and returns the exit status (-1 when it did not end).
int RunCli(CliProcess& process);
