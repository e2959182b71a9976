#pragma once
// One run of vyr-cli: logs in with the engine, does the job the options ask for, and answers
// with the exit status. One poll() loop waits on the link's socket, stdin and a signal pipe, and
// hands the engine its timer ticks (same ids, same periods as the window) when they are due.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliBans.h"
#include "cli/CliOptions.h"
#include "cli/DeadlineTimers.h"
#include "cli/EventPrinter.h"
#include "cli/InteractivePrompt.h"
#include "cli/LoginSettings.h"
#include "cli/PlayerQueries.h"
#include "core/ReconnectPolicy.h"
#include "core/SessionRule.h"
#include "core/ShutdownSequence.h"
#include "core/automation/AutomationSession.h"
#include "core/players/PlayerRecorder.h"
#include "engine/AdminClient.h"

// Exit statuses.
constexpr int EXIT_OK = 0;
constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_UNREACHABLE = 3;
constexpr int EXIT_LOST = 4;
constexpr int EXIT_NOT_FOUND = 5;
constexpr int EXIT_NO_MEMORY = 6; // the player memory could not be read

class CliSession {
  public:
    enum class Mode { Interactive, Piped, Job };

    // `commands` are the console lines of the options, already in wire form; `terminal` is the
    // prompt's, in interactive mode; `automation` runs its rules over the session when given;
    // `memory` records the session, keeps its bans and answers :seen.
    CliSession(const CliOptions& options, Mode mode, std::vector<std::string> commands,
               EventPrinter& printer, std::unique_ptr<PromptTerminal> terminal = nullptr,
               CAutomation* automation = nullptr, CPlayerStore* memory = nullptr);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Wipes the password once the login request is sent, unless it is kept to reconnect.
    int Run(Login& login);

  private:
    using Clock = DeadlineTimers::Clock;

    // A login attempt with the run's login; false when the link could not be opened.
    bool StartAttempt();
    // Following, a session lost to silence is tried again after the policy's wait.
    bool WaitToReconnect();
    void RunAutomation();
    void Tick(unsigned timerId);
    void ConnectedTransition();
    void DisconnectedTransition();
    void OnEvent(const ClientEvent& event);
    void PrintHeldEvents();
    void StartJob();
    void CheckJob();
    void Finish(int status);
    void OnSignal();
    void ReadPipedInput();
    void EndPipedLine();
    void SendConsoleLine(std::string_view utf8, const std::string& where);
    void OnPromptLine(std::optional<std::string> line);
    void RunLocalCommand(const std::string& line);
    bool RemovePlayer(const std::string& target, bool ban, const std::string& reason,
                      std::optional<std::int64_t> seconds);
    // The player memory: the recorder's tick and the store's problems, once a round.
    void MemoryRound();
    void RunMemoryCommand(const std::string& command, const std::string& argument);
    std::optional<std::string> MemoryName(const std::string& typed);
    int PollTimeout() const;
    void FlushOutput();

    const CliOptions& options;
    const Mode mode;
    const std::vector<std::string> commands;
    EventPrinter& printer;
    CAdminClient client;
    CSessionRule rule;
    CReconnectPolicy reconnect{ProcessRandom};
    DeadlineTimers timers;
    std::unique_ptr<CAutomationSession> automation;
    std::unique_ptr<CCliBans> bans; // the ban memory; null without a store
    const Login* login = nullptr;
    std::optional<Clock::time_point> reconnectAt;
    bool jobStarted = false;
    std::unique_ptr<PromptTerminal> terminal; // until the prompt takes it
    std::unique_ptr<InteractivePrompt> prompt;
    // Sessions are recorded while the admin watches (the prompt, --follow); a one-shot job, a
    // script's every few minutes perhaps, records only the kicks and bans it makes.
    std::unique_ptr<CPlayerRecorder> recorder;
    std::unique_ptr<CPlayerQueries> queries;
    bool recordSessions = false;

    bool connected = false;
    bool finished = false;
    bool badInput = false;
    int exitStatus = EXIT_OK;
    int caughtSignal = 0;

    // The job's progress.
    std::optional<Clock::time_point> quitAt;   // after --wait
    std::optional<std::uint8_t> removalTarget; // --kick/--ban: awaiting the report
    std::optional<Clock::time_point> removalDeadline;
    CShutdownSequence shutdown;

    // Events of the latest tick, printed once its transition is: after "Connected.", before
    // "Disconnected:", as the window shows them.
    std::vector<ClientEvent> heldEvents;

    // Piped stdin.
    bool readingStdin = false;
    std::string pendingLine;
    bool pendingTooLong = false;
    int lineNumber = 0;
};
