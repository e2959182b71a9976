#include "cli/CliRun.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/JsonObject.h"
#include "cli/LoginSettings.h"
#include "cli/PlayerQueries.h"
#include "core/WireText.h"
#include "core/automation/Automation.h"
#include "core/players/PlayerStore.h"
#include "core/players/RetentionSetting.h"
#include "core/profiles/ServerProfiles.h"
#include "platform/SecretMemory.h"

namespace {

void Complain(const std::string& problem) {
    std::fprintf(stderr, "vyr-cli: %s\n", problem.c_str());
}

// The saved servers, one a line (or a JSON object each).
int ListServers(const CServerProfiles& profiles, bool json) {
    std::string out;
    for (const ServerProfile& p : profiles.List()) {
        const std::string source = p.passwordSource == PasswordSource::Command
                                       ? "command: " + p.passwordCommand
                                       : PasswordSourceName(p.passwordSource);
        if (json) {
            out += JsonObject()
                       .Add("type", "server")
                       .Add("name", p.name)
                       .Add("host", p.host)
                       .Add("port", p.port)
                       .Add("user", p.user)
                       .Add("password", PasswordSourceName(p.passwordSource))
                       .Add("automation", p.automationFile)
                       .Text() +
                   '\n';
        } else {
            out += p.name + "  " + p.host + ":" + std::to_string(p.port) + "  " + p.user +
                   "  password from " + source +
                   (p.automationFile.empty() ? "" : "  automation " + p.automationFile) + '\n';
        }
    }
    std::fputs(out.c_str(), stdout);
    return EXIT_OK;
}

// How long a one-shot read waits for a file that another program holds locked.
constexpr std::chrono::seconds MEMORY_PATIENCE(5);

EventPrinter::Style PrinterStyle(const CliOptions& options, const ServerProfile* profile,
                                 bool markLines) {
    const char* noColor = std::getenv("NO_COLOR");
    EventPrinter::Style style;
    style.json = options.json;
    style.colour = !options.json && !options.noColor && (noColor == nullptr || *noColor == '\0') &&
                   isatty(STDOUT_FILENO) != 0;
    style.timestamps = options.timestamps;
    style.quiet = options.quiet;
    style.server = markLines && profile ? profile->name : std::string();
    return style;
}

// --seen and --search: the server as a login would name it, but no password and no connection.
int ReadMemory(const CliOptions& options, const ServerProfile* profile, CPlayerStore& store,
               bool markLines) {
    const ServerLookup named = ResolveServer(options, profile);
    if (!named.problem.empty()) {
        Complain(named.problem);
        return EXIT_USAGE;
    }
    const ServerKey server{named.host, named.port};
    EventPrinter printer(PrinterStyle(options, profile, markLines));
    CPlayerQueries queries(store, printer);
    // Nothing recorded yet is no reason to make the file.
    struct stat info {};
    int status = EXIT_OK;
    if (::stat(store.Path().c_str(), &info) != 0 && errno == ENOENT) {
        printer.Error("nothing is recorded yet (" + store.Path() + " does not exist)");
        status = EXIT_NOT_FOUND;
    } else if (!store.WaitUntilOpen(MEMORY_PATIENCE)) {
        printer.Error(store.Path() + " is held locked by another program; try again");
        status = EXIT_NO_MEMORY;
    } else {
        std::optional<std::string> name;
        std::string problem;
        if (options.seen && !(name = TypedPlayerName(*options.seen, problem))) {
            Complain(problem);
            return EXIT_USAGE;
        }
        for (const CPlayerQueries::Answer answer :
             {name ? queries.Seen(server, *name) : CPlayerQueries::Answer::Found,
              options.search ? queries.Search(server, *options.search)
                             : CPlayerQueries::Answer::Found}) {
            if (answer == CPlayerQueries::Answer::Unreadable) {
                status = EXIT_NO_MEMORY;
            } else if (answer == CPlayerQueries::Answer::NotFound && status == EXIT_OK) {
                status = EXIT_NOT_FOUND;
            }
        }
    }
    std::fputs(printer.TakeErr().c_str(), stderr);
    std::fputs(printer.TakeOut().c_str(), stdout);
    return status;
}

// One session with one server: its login, its rules, its job.
int RunOne(const CliOptions& options, const ServerProfile* profile,
           const std::vector<std::string>& commands, bool markLines, CPlayerStore& store) {
    if (options.ReadsMemoryOnly()) {
        return ReadMemory(options, profile, store, markLines);
    }
    const bool stdinIsTerminal = isatty(STDIN_FILENO) != 0;
    CAutomation automation;
    const std::string rules =
        options.automation.value_or(profile ? profile->automationFile : std::string());
    if (!rules.empty()) {
        if (const std::optional<RulesFileError> error = automation.Load(rules)) {
            Complain(error->ToString());
            return EXIT_USAGE;
        }
    }
    LoginLookup login = ResolveLogin(options, profile, stdinIsTerminal);
    if (login.signal != 0) {
        return 128 + login.signal;
    }
    if (!login.warning.empty()) {
        Complain(login.warning);
    }
    if (!login.login) {
        Complain(login.problem);
        return EXIT_USAGE;
    }
    EventPrinter printer(PrinterStyle(options, profile, markLines));
    CliSession::Mode mode = options.HasJob()  ? CliSession::Mode::Job
                            : stdinIsTerminal ? CliSession::Mode::Interactive
                                              : CliSession::Mode::Piped;
    std::unique_ptr<PromptTerminal> terminal;
    if (mode == CliSession::Mode::Interactive && !(terminal = PromptTerminal::Open())) {
        Complain(clitexts::NO_PROMPT + std::string(std::strerror(errno)));
        mode = CliSession::Mode::Piped;
    }
    CliSession session(options, mode, commands, printer, std::move(terminal),
                       rules.empty() ? nullptr : &automation, &store);
    return session.Run(*login.login);
}

} // namespace

int RunCli(const CliOptions& options) {
    KeepOutOfCoreDumps(); // a password is held from here to the end
    std::vector<std::string> commands;
    for (const std::string& text : options.commands) {
        const std::optional<WireText> line = ConsoleLineForWire(text);
        if (!line) {
            continue; // a blank line is nothing to send, wherever it comes from
        }
        if (!line->Ok()) {
            Complain(clitexts::COMMAND_NOT_SENT + line->Describe());
            return EXIT_USAGE;
        }
        commands.push_back(line->latin1);
    }
    CServerProfiles profiles;
    if (options.listServers || !options.servers.empty()) {
        if (const std::string problem = profiles.Load(); !problem.empty()) {
            Complain(problem);
            return EXIT_USAGE;
        }
    }
    if (options.listServers) {
        return ListServers(profiles, options.json);
    }
    std::vector<const ServerProfile*> servers;
    for (const std::string& name : options.servers) {
        const ServerProfile* profile = profiles.Find(name);
        if (!profile) {
            Complain("no saved server is called '" + name + "' (see vyr-cli --servers)");
            return EXIT_USAGE;
        }
        servers.push_back(profile);
    }
    // One player memory for the run; its file is opened when first used.
    PlayerStoreOptions memoryOptions;
    memoryOptions.chatRetentionDays = ChatRetentionDays();
    CPlayerStore store(memoryOptions);
    if (servers.empty()) {
        return RunOne(options, nullptr, commands, false, store);
    }
    // In turn, the worst status last; an interruption ends the round.
    int worst = EXIT_OK;
    for (const ServerProfile* server : servers) {
        const int status = RunOne(options, server, commands, servers.size() > 1, store);
        worst = std::max(worst, status);
        if (status > 128) {
            break;
        }
    }
    return worst;
}
