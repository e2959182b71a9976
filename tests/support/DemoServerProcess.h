#pragma once
// Runs vyr-demo-server as a child process on a free port, learns the port from its "listening
// on" line and keeps reading its output. Every wait is bounded.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class DemoServerProcess {
  public:
    using Ms = std::chrono::milliseconds;

    explicit DemoServerProcess(std::string executable) : executable(std::move(executable)) {}
    // Started at once with `args`, for programs without a test framework: aborts when the server
    // does not start, as nothing could be measured then.
    DemoServerProcess(std::string executable, const std::vector<std::string>& args);
    ~DemoServerProcess(); // a server still running is killed and reaped
    DemoServerProcess(const DemoServerProcess&) = delete;
    DemoServerProcess& operator=(const DemoServerProcess&) = delete;

    // Runs "--port 0 `args`" (a later --port wins). False when the server exits or stays silent
    // first; Output() then tells why.
    bool Start(const std::vector<std::string>& args = {}, Ms timeout = Ms(5000));
    int Port() const { return port; }
    const std::string& Output(); // all of stdout so far

    bool Signal(int signal);
    // The exit code, or 128 + the ending signal; nothing while the server still runs.
    std::optional<int> WaitForExit(Ms timeout = Ms(5000));

  private:
    bool WaitUntil(const std::function<bool()>& done, Ms timeout);
    void ReadOutput(Ms wait);
    bool Reap(); // true once the server has exited

    std::string executable;
    pid_t pid = -1;
    int outputFd = -1;
    int port = 0;
    std::string output;
    std::optional<int> exitStatus;
};
