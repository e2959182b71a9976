#pragma once
// Runs vyr-demo-server as a child process for tests: starts it on a free port, learns the port
// from its "listening on" line, keeps reading its output and stops it. Every wait is bounded.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class DemoServerProcess {
  public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    // `executable`: the server's path (the tests have it from the build).
    explicit DemoServerProcess(std::string executable);
    ~DemoServerProcess(); // a server still running is killed and reaped
    DemoServerProcess(const DemoServerProcess&) = delete;
    DemoServerProcess& operator=(const DemoServerProcess&) = delete;

    // Starts the server with "--port 0" and then `args` (a later --port wins) and waits for its
    // listening line. False when it exits or stays silent first; Output() then tells why.
    bool Start(const std::vector<std::string>& args = {},
               std::chrono::milliseconds timeout = kDefaultTimeout);
    int Port() const { return port; }

    // Everything the server has printed to stdout so far.
    const std::string& Output();
    // Waits until the output holds `text`.
    bool WaitForOutput(std::string_view text, std::chrono::milliseconds timeout = kDefaultTimeout);

    bool Signal(int signal);
    // The exit code, or 128 + the signal that ended the server; nothing while it still runs at
    // the time-out.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = kDefaultTimeout);
    // SIGTERM, then SIGKILL when the server ignores it; the exit status as WaitForExit gives it.
    std::optional<int> Stop(std::chrono::milliseconds timeout = kDefaultTimeout);

  private:
    // Reads what the server printed, waiting at most `wait` for something to arrive.
    void ReadOutput(std::chrono::milliseconds wait);
    bool Reap();

    std::string executable;
    pid_t pid = -1;
    int outputFd = -1;
    int port = 0;
    std::string output;
    std::optional<int> exitStatus;
};
