#include "cli/CliSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "cli/CliTexts.h"
#include "core/CoreTexts.h"
#include "core/PlayerLookup.h"
#include "core/WireText.h"
#include "engine/Timers.h"
#include "platform/MessageBox.h"
#include "platform/SecretMemory.h"
#include "platform/WholeFile.h"

namespace {

using namespace std::chrono_literals;

// Automation's schedules want a tick at least once a second, connected or not.
constexpr unsigned TIMER_AUTOMATION = 1300;
constexpr int AUTOMATION_TICK_MS = 1000;
// How long a kick, ban or shutdown request may go unanswered.
constexpr std::chrono::milliseconds ANSWER_TIMEOUT(CONNECT_TIMEOUT_MS);
// A piped line is held up to this many bytes (UTF-8 needs up to two per Latin-1 character);
// the rest of a longer line is dropped unread into memory.
constexpr std::size_t MAX_PENDING_LINE = 2 * MAX_CONSOLE_LINE + 2;

int signalPipe[2] = {-1, -1};

void OnStopSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
    errno = saved;
}

void InstallSignalPipe() {
    if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr); // the ssh session or terminal went away
    signal(SIGPIPE, SIG_IGN);            // a closed stdout shows as a failed write instead
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string Trimmed(std::string text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.erase(0, 1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.pop_back();
    }
    return text;
}

} // namespace

CliSession::CliSession(const CliOptions& options, Mode mode, std::vector<std::string> commands,
                       EventPrinter& printer, std::unique_ptr<PromptTerminal> terminal,
                       CAutomation* automation, CPlayerStore* memory)
    : options(options), mode(mode), commands(std::move(commands)), printer(printer),
      automation(automation ? std::make_unique<CAutomationSession>(*automation) : nullptr),
      bans(memory ? std::make_unique<CCliBans>(*memory, client, printer) : nullptr),
      terminal(std::move(terminal)) {
    if (memory) {
        recorder = std::make_unique<CPlayerRecorder>(*memory, client);
        queries = std::make_unique<CPlayerQueries>(*memory, printer);
        recordSessions = mode == Mode::Interactive || options.follow;
    }
    SetMessageBoxHook([this](const std::string& text) { this->printer.Box(text); });
    client.onEvent = [this](const ClientEvent& event) { OnEvent(event); };
    if (this->automation && bans) {
        this->automation->banWith = [this](const AutomationOutput& ban) {
            bans->RemoveForAutomation(ban);
        };
    }
}

CliSession::~CliSession() {
    client.onEvent = nullptr;
    SetMessageBoxHook(nullptr);
}

int CliSession::Run(Login& runLogin) {
    InstallSignalPipe();
    login = &runLogin;
    const bool opened = StartAttempt();
    if (!options.reconnect) {
        Wipe(runLogin.password); // the login request is on its way: no need for it any more
    }
    if (!opened) {
        return EXIT_UNREACHABLE;
    }
    if (automation) {
        timers.Set(TIMER_AUTOMATION, AUTOMATION_TICK_MS, Clock::now());
    }
    while (!finished) {
        FlushOutput();
        std::vector<pollfd> waits{{signalPipe[0], POLLIN, 0}};
        if (client.link->isOpen) {
            waits.push_back({client.link->socketHandle, POLLIN, 0});
        }
        if (prompt) {
            waits.push_back({prompt->InputFd(), POLLIN, 0});
        } else if (readingStdin) {
            waits.push_back({STDIN_FILENO, POLLIN, 0});
        }
        if (poll(waits.data(), waits.size(), PollTimeout()) < 0 && errno != EINTR) {
            printer.Error("poll failed");
            Finish(EXIT_LOST);
            break;
        }
        for (const pollfd& w : waits) {
            if ((w.revents & (POLLIN | POLLHUP | POLLERR)) == 0 || finished) {
                continue;
            }
            if (w.fd == signalPipe[0]) {
                OnSignal();
            } else if (prompt && w.fd == prompt->InputFd()) {
                prompt->OnReadable();
            } else if (w.fd == STDIN_FILENO) {
                ReadPipedInput();
            } else {
                Tick(TIMER_POLL); // drained on arrival, not at the next poll tick
            }
        }
        if (prompt && !finished) {
            prompt->OnTime();
        }
        for (const unsigned id : timers.TakeDue(Clock::now())) {
            if (!finished && id != TIMER_AUTOMATION) {
                Tick(id);
            }
        }
        if (reconnectAt && Clock::now() >= *reconnectAt && !StartAttempt()) {
            finished = true;
            exitStatus = EXIT_UNREACHABLE;
        }
        if (!finished && bans) {
            bans->Step(); // before the job's check: its last answers are printed first
        }
        if (!finished) {
            CheckJob();
        }
        if (!finished) {
            RunAutomation();
        }
        MemoryRound();
    }
    MemoryRound(); // the end of the session, recorded
    FlushOutput();
    prompt.reset(); // not earlier: the run may end inside one of the prompt's callbacks
    return exitStatus;
}

bool CliSession::StartAttempt() {
    reconnectAt.reset();
    if (!client.Connect(login->host.c_str(), login->port, login->user.c_str(),
                        login->password.c_str())) {
        printer.Error(std::string(texts::CONNECT_FAILED) + " (" + login->host + ":" +
                      std::to_string(login->port) + ")");
        FlushOutput();
        return false;
    }
    if (recorder) {
        recorder->OnConnect({login->host, login->port}, Latin1ToUtf8(login->user));
    }
    const Clock::time_point now = Clock::now();
    rule.Start();
    if (bans) {
        bans->SessionStarting(login->host, login->port, login->user);
    }
    timers.Set(TIMER_CONNECT_TIMEOUT, CONNECT_TIMEOUT_MS, now);
    timers.Set(TIMER_POLL, POLL_MS, now);
    timers.Set(TIMER_WATCHDOG, WATCHDOG_MS, now);
    printer.PrintSessionLine("connecting", texts::LOG_CONNECTING, COLOUR_BLUE, false);
    return true;
}

// The window's tick: the engine first, then the transitions the session rule calls for.
void CliSession::Tick(unsigned timerId) {
    switch (rule.Tick(client, connected, timerId)) {
    case CSessionRule::Step::Connected:
        ConnectedTransition();
        break;
    case CSessionRule::Step::Disconnected:
        PrintHeldEvents();
        DisconnectedTransition();
        return;
    case CSessionRule::Step::None:
        break;
    }
    PrintHeldEvents();
    // Every event was printed as it was handled; the window's mailboxes only need emptying,
    // which its refresh tick does. Here it follows each drain instead of waking every 1 ms.
    if (client.logPending || client.listDirty || client.listTextLength > 0) {
        client.OnTimer(TIMER_UI_REFRESH);
        client.TakeLog();
        client.listDirty = false;
        client.listTextLength = 0;
    }
}

void CliSession::PrintHeldEvents() {
    for (const ClientEvent& event : heldEvents) {
        printer.PrintEvent(event);
    }
    heldEvents.clear();
}

void CliSession::ConnectedTransition() {
    printer.PrintSessionLine("connected", texts::LOG_CONNECTED, COLOUR_BLUE, false);
    reconnect.LoggedIn();
    if (automation) {
        automation->Connected();
    }
    if (bans) {
        bans->Connected(options.follow || mode == Mode::Interactive,
                        !jobStarted && (options.bans || options.unban));
    }
    if (std::exchange(jobStarted, true)) {
        return; // a reconnection: the job was started by the first session
    }
    StartJob();
}

void CliSession::DisconnectedTransition() {
    timers.Kill(TIMER_CONNECT_TIMEOUT);
    if (automation) {
        automation->Disconnected();
    }
    if (bans) {
        bans->Disconnected();
    }
    if (WaitToReconnect()) {
        return;
    }
    finished = true;
    const SessionEnding ending = rule.Ending();
    const bool closedByAdmin = ending == SessionEnding::ClosedByAdmin;
    if (ending == SessionEnding::ServerShutDown) {
        exitStatus = EXIT_OK;
    } else if (ending == SessionEnding::Refused) {
        exitStatus = EXIT_REFUSED;
    } else if (!closedByAdmin) {
        exitStatus = rule.WasLoggedIn() ? EXIT_LOST : EXIT_UNREACHABLE;
    }
    const std::string text = std::string(texts::LOG_DISCONNECTED) + client.reason;
    printer.PrintSessionLine("disconnected", text, COLOUR_RED, !closedByAdmin, client.reason);
    if (closedByAdmin) {
        return;
    }
    const std::string reason = Latin1ToUtf8(client.reason);
    if (exitStatus == EXIT_REFUSED) {
        printer.Error(clitexts::REFUSED + reason);
    } else if (exitStatus == EXIT_UNREACHABLE) {
        printer.Error(clitexts::UNREACHABLE + reason);
    } else if (exitStatus == EXIT_LOST) {
        printer.Error(clitexts::LOST + reason);
    }
}

bool CliSession::WaitToReconnect() {
    const SessionEnding ending = rule.Ending();
    const auto wait = reconnect.Ended(ending, rule.WasLoggedIn());
    if (!options.reconnect || !wait) {
        return false;
    }
    const std::string reason = std::string(texts::LOG_DISCONNECTED) + client.reason;
    printer.PrintSessionLine("disconnected", reason, COLOUR_RED, false, client.reason);
    const long long seconds = std::llround(static_cast<double>(wait->count()) / 1000);
    printer.PrintSessionLine("reconnecting",
                             texts::Filled(texts::LOG_RECONNECTING, std::to_string(seconds)),
                             COLOUR_BLUE, false);
    reconnectAt = Clock::now() + *wait;
    return true;
}

// Schedules run connected or not; what automation asks of the server goes out while connected.
void CliSession::RunAutomation() {
    if (!automation) {
        return;
    }
    for (const AutomationOutput& output : automation->Step(client, Clock::now())) {
        printer.PrintAutomation(output);
        if (recorder) {
            recorder->OnAutomation(output);
        }
    }
}

// The engine is in the middle of a datagram here: only note what the job needs, act later.
void CliSession::OnEvent(const ClientEvent& event) {
    rule.Observe(event);
    if (automation) {
        automation->Observe(event);
    }
    if (recorder && recordSessions) {
        recorder->OnEvent(event);
    }
    if (bans && bans->Observe(event)) {
        return; // an answer to the ban memory's own request: its lines say what it meant
    }
    heldEvents.push_back(event);
    if (const auto* left = std::get_if<event::PlayerLeft>(&event.what)) {
        if (left->how == event::Departure::Kicked && removalTarget == left->player.id) {
            removalTarget.reset();
            removalDeadline.reset();
        }
    }
    shutdown.Observe(event);
}

void CliSession::StartJob() {
    const Clock::time_point now = Clock::now();
    if (mode == Mode::Interactive) {
        std::string history = CliHistoryPath();
        if (struct stat info{};
            !history.empty() && stat(history.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            printer.Error(history + clitexts::HISTORY_NOT_A_FILE);
            history.clear();
        }
        prompt = std::make_unique<InteractivePrompt>(
            std::move(terminal), history,
            [this](std::optional<std::string> line) { OnPromptLine(line); },
            [this] { return PlayerNames(*client.roster); });
        FlushOutput();
        prompt->Start();
        return;
    }
    if (options.players) {
        printer.Players(*client.roster);
    }
    const std::optional<std::string>& target = options.kick ? options.kick : options.ban;
    if (target) {
        if (!RemovePlayer(*target, options.ban.has_value(), options.reason.value_or(""),
                          options.banSeconds)) {
            Finish(EXIT_NOT_FOUND);
            return;
        }
        removalDeadline = now + ANSWER_TIMEOUT;
        if (bans) {
            bans->Step(); // out before the commands, in the order the options give them
        }
    }
    if (bans && options.bans) {
        bans->List();
    }
    if (bans && options.unban && !bans->Unban(*options.unban)) {
        Finish(EXIT_NOT_FOUND);
        return;
    }
    for (const std::string& line : commands) {
        client.SendCommand(line.c_str());
        if (bans) {
            bans->AdminSent(line);
        }
    }
    if (!commands.empty()) {
        quitAt = now + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(options.waitSeconds));
    }
    if (options.shutdown) {
        shutdown.Start(client, now);
    }
    readingStdin = mode == Mode::Piped;
}

// Moves the job on after the engine has had its say, and ends the run when the job is done.
void CliSession::CheckJob() {
    const Clock::time_point now = Clock::now();
    const CShutdownSequence::State shutting = shutdown.Step(client, now);
    if (shutting == CShutdownSequence::State::Refused) {
        printer.Error(clitexts::NOT_SHUT_DOWN);
        Finish(EXIT_REFUSED);
        return;
    }
    if (shutting == CShutdownSequence::State::Unanswered) {
        printer.Error(clitexts::SHUTDOWN_UNANSWERED);
        Finish(EXIT_LOST);
        return;
    }
    if (removalTarget && removalDeadline && now >= *removalDeadline) {
        printer.Error(clitexts::REMOVAL_UNREPORTED + std::to_string(*removalTarget));
        Finish(EXIT_NOT_FOUND);
        return;
    }
    if (bans && (options.bans || options.unban) && !bans->Busy() && bans->Failed()) {
        Finish(EXIT_REFUSED);
        return;
    }
    const bool jobDone = connected && mode != Mode::Interactive && !options.follow &&
                         !readingStdin && !removalTarget && !(bans && bans->Busy()) &&
                         shutting != CShutdownSequence::State::Waiting &&
                         (!quitAt || now >= *quitAt);
    if (jobDone) {
        Finish(badInput ? EXIT_USAGE : EXIT_OK);
    }
}

int CliSession::PollTimeout() const {
    int timeout = timers.MsUntilNext(Clock::now());
    if (const int keys = prompt ? prompt->PollTimeout() : -1; keys >= 0) {
        timeout = timeout < 0 ? keys : std::min(timeout, keys);
    }
    const std::optional<Clock::time_point> automationDeadline =
        automation ? automation->Deadline() : std::nullopt;
    const std::optional<Clock::time_point> bansDeadline = bans ? bans->Deadline() : std::nullopt;
    for (const auto& deadline : {quitAt, removalDeadline, shutdown.Deadline(), reconnectAt,
                                 automationDeadline, bansDeadline}) {
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            const int ms = static_cast<int>(std::max<long long>(left.count(), 0));
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        }
    }
    return timeout;
}

// The window's Disconnect button: quit sent, the reason the admin's own, the end shown at once.
void CliSession::Finish(int status) {
    if (finished) {
        return;
    }
    exitStatus = status;
    rule.EndByAdmin(client, connected);
    if (rule.Check(client, connected, TIMER_POLL) == CSessionRule::Step::Disconnected) {
        PrintHeldEvents();
        DisconnectedTransition();
    }
}

void CliSession::OnSignal() {
    char byte = 0;
    while (read(signalPipe[0], &byte, 1) == 1) {
        caughtSignal = byte;
    }
    // Following or prompting, an interruption is the normal way out; a job left unfinished is not.
    const bool normalEnd = options.follow || mode == Mode::Interactive;
    Finish(normalEnd ? EXIT_OK : 128 + caughtSignal);
}

void CliSession::ReadPipedInput() {
    char chunk[65536];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
        return;
    }
    if (n <= 0) {
        if (!pendingLine.empty() || pendingTooLong) {
            EndPipedLine();
        }
        readingStdin = false;
        quitAt = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                    std::chrono::duration<double>(options.waitSeconds));
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        if (chunk[i] == '\n') {
            EndPipedLine();
        } else if (pendingLine.size() < MAX_PENDING_LINE) {
            pendingLine += chunk[i];
        } else {
            pendingTooLong = true;
        }
    }
}

void CliSession::EndPipedLine() {
    ++lineNumber;
    const std::string where = "line " + std::to_string(lineNumber) + " of stdin";
    if (pendingTooLong) {
        printer.Error(where + clitexts::NOT_SENT + "the line is longer than " +
                      std::to_string(MAX_CONSOLE_LINE) + " characters");
        badInput = true;
    } else {
        if (!pendingLine.empty() && pendingLine.back() == '\r') {
            pendingLine.pop_back(); // written on Windows
        }
        SendConsoleLine(pendingLine, where);
    }
    pendingLine.clear();
    pendingTooLong = false;
}

// The console-line rule of every source: leading blanks dropped, a blank line not sent.
void CliSession::SendConsoleLine(std::string_view utf8, const std::string& where) {
    const std::optional<WireText> line = ConsoleLineForWire(utf8);
    if (!line) {
        return;
    }
    if (!line->Ok()) {
        printer.Error(where + clitexts::NOT_SENT + line->Describe());
        badInput = true;
        return;
    }
    client.SendCommand(line->latin1.c_str());
    if (bans) {
        bans->AdminSent(line->latin1);
    }
}

void CliSession::OnPromptLine(std::optional<std::string> line) {
    if (finished) {
        return; // keys typed after :quit
    }
    if (!line) {
        Finish(EXIT_OK);
        return;
    }
    std::string_view text = *line;
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.front() == ':') {
        RunLocalCommand(std::string(text));
    } else {
        SendConsoleLine(text, "the line");
        badInput = false; // the admin saw the message and can type again
    }
}

void CliSession::RunLocalCommand(const std::string& line) {
    const std::size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string argument = Trimmed(space == std::string::npos ? "" : line.substr(space + 1));
    if (command == ":players") {
        printer.Players(*client.roster);
    } else if (command == ":kick" || command == ":ban") {
        if (argument.empty()) {
            printer.Error("usage: " + command + clitexts::PLAYER_USAGE);
        } else if (bans) {
            bans->RunCommand(command == ":ban" ? RemovalOrder::Kind::Ban : RemovalOrder::Kind::Kick,
                             argument);
        } else {
            RemovePlayer(argument, command == ":ban", {}, std::nullopt);
        }
    } else if (command == ":bans" && bans) {
        bans->List();
    } else if (command == ":unban" && bans) {
        if (argument.empty()) {
            printer.Error("usage: :unban ADDR|PLAYER");
        } else {
            bans->Unban(argument);
        }
    } else if (command == ":seen" || command == ":note" || command == ":search") {
        RunMemoryCommand(command, argument);
    } else if (command == ":shutdown") {
        client.RequestShutdown();
    } else if (command == ":help") {
        printer.Note(clitexts::LOCAL_HELP);
    } else if (command == ":quit") {
        Finish(EXIT_OK);
    } else {
        printer.Error(clitexts::UNKNOWN_LOCAL_COMMAND + line);
    }
}

// Sends the kick or ban of `target`; false (with the reason printed) when no one player matches.
// Bans, and kicks with a reason, go through the ban memory, which keeps them.
bool CliSession::RemovePlayer(const std::string& target, bool ban, const std::string& reason,
                              std::optional<std::int64_t> seconds) {
    if (bans && (ban || !reason.empty())) {
        removalTarget = bans->Remove(
            target, ban ? RemovalOrder::Kind::Ban : RemovalOrder::Kind::Kick, reason, seconds);
        return removalTarget.has_value();
    }
    const PlayerTarget found = FindPlayer(*client.roster, target);
    if (!found.position) {
        printer.Error(found.problem);
        return false;
    }
    removalTarget = client.roster->IdByPosition(*found.position);
    if (recorder && !ban) { // a ban with a player memory went to the ban memory above
        recorder->OnKick(*found.position);
    }
    if (ban) {
        client.Ban(*found.position);
    } else {
        client.Kick(*found.position);
    }
    if (mode == Mode::Interactive) {
        removalTarget.reset(); // the admin watches the log for the answer
    }
    return true;
}

void CliSession::MemoryRound() {
    if (!queries) {
        return;
    }
    if (recordSessions) {
        recorder->OnTick();
    }
    queries->ReportProblems();
}

void CliSession::RunMemoryCommand(const std::string& command, const std::string& argument) {
    if (argument.empty()) {
        printer.Error("usage: " + command +
                      (command == ":search" ? std::string(" TEXT")
                       : command == ":note" ? std::string(" NAME TEXT")
                                            : std::string(clitexts::PLAYER_USAGE)));
        return;
    }
    if (!queries) {
        printer.Error("the player memory is not in use");
        return;
    }
    const ServerKey server{login->host, login->port};
    if (command == ":search") {
        queries->Search(server, argument);
        return;
    }
    const NoteArgument note =
        command == ":note" ? SplitNoteArgument(argument) : NoteArgument{argument, {}};
    const std::optional<std::string> name = MemoryName(note.name);
    if (!name) {
        return;
    }
    if (command == ":seen") {
        queries->Seen(server, *name);
    } else {
        queries->SetNote(server, *name, note.text, Latin1ToUtf8(login->user));
    }
}

// "#id" names a player on the server now; anything else is a name, present or not.
std::optional<std::string> CliSession::MemoryName(const std::string& typed) {
    if (!typed.empty() && typed.front() == '#') {
        const PlayerTarget found = FindPlayer(*client.roster, typed);
        if (!found.position) {
            printer.Error(found.problem);
            return std::nullopt;
        }
        return client.roster->NameByPosition(*found.position);
    }
    std::string problem;
    std::optional<std::string> name = TypedPlayerName(typed, problem);
    if (!name) {
        printer.Error(problem);
    }
    return name;
}

void CliSession::FlushOutput() {
    if (!printer.Pending()) {
        return;
    }
    const std::string out = printer.TakeOut();
    const std::string err = printer.TakeErr();
    if (prompt) {
        prompt->PrintAbove(out, err);
        return;
    }
    WriteAll(STDERR_FILENO, err);
    if (!WriteAll(STDOUT_FILENO, out) && !finished) {
        Finish(exitStatus); // nobody reads the output any more
    }
}
