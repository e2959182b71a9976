#pragma once
// vyr-cli on the slave side of a pseudo-terminal, in a UTF-8 locale; the test types on the master
// side and reads the screen there. Stdout may instead go to a pipe, as in `vyr-cli | tee log`.
// Every wait is bounded.

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class CliCommand;

// The same settings as far as a program can change them.
bool SameTerminal(const termios& a, const termios& b);

class PtyCli {
  public:
    using Ms = std::chrono::milliseconds;

    struct Options {
        std::map<std::string, std::string> env; // adds to (or, empty, removes from) the defaults
        bool stdoutToPipe = false;
        // A job-control shell of its own runs vyr-cli in a process group of its own, so that
        // Ctrl+Z stops it as it would under bash; when it stops, the shell writes "[stopped]" and
        // continues it after the next line typed.
        bool underJobControl = false;
        // Runs in the child just before vyr-cli is started (limits, say).
        std::function<void()> inChild;
    };

    PtyCli(const std::string& home, const std::vector<std::string>& args);
    PtyCli(const std::string& home, const std::vector<std::string>& args, Options options);
    ~PtyCli(); // kills and reaps a process still running
    PtyCli(const PtyCli&) = delete;
    PtyCli& operator=(const PtyCli&) = delete;

    void Type(const std::string& keys);
    // Reads the screen (and the stdout pipe) until `text` appears on the screen after `from`.
    bool WaitFor(const std::string& text, std::size_t from = 0, Ms timeout = Ms(10000));
    // Reads on until stdout's pipe holds `text`.
    bool WaitForOut(const std::string& text, Ms timeout = Ms(10000));
    // The exit status (128 + the signal for a signal), or nothing when the run goes on.
    std::optional<int> WaitForExit(Ms timeout = Ms(10000));
    int Exit() { return WaitForExit().value_or(-1); }
    bool Signal(int signal);
    // The terminal's settings as they are now.
    termios Terminal() const;
    // The settings the terminal has before vyr-cli starts.
    static termios InitialTerminal();

    std::string screen;
    std::string out; // with stdoutToPipe

  private:
    void Pump(int timeoutMs);
    pid_t pid = -1;
    int master = -1;
    int outFd = -1;
    std::optional<int> status;
};
