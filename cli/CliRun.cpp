#include "cli/CliRun.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "cli/CliSession.h"
#include "cli/CliTexts.h"
#include "cli/JsonObject.h"
#include "core/WireText.h"
#include "core/automation/Automation.h"
#include "core/players/PlayerStore.h"
#include "core/profiles/ServerProfiles.h"

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

// One session with one server: its login, its rules, its job.
int RunOne(const CliOptions& options, const ServerProfile* profile,
           const std::vector<std::string>& commands, bool markLines) {
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
    const LoginLookup login = ResolveLogin(options, profile, stdinIsTerminal);
    if (!login.warning.empty()) {
        Complain(login.warning);
    }
    if (!login.login) {
        Complain(login.problem);
        return EXIT_USAGE;
    }
    const char* noColor = std::getenv("NO_COLOR");
    EventPrinter::Style style;
    style.json = options.json;
    style.colour = !options.json && !options.noColor && (noColor == nullptr || *noColor == '\0') &&
                   isatty(STDOUT_FILENO) != 0;
    style.timestamps = options.timestamps;
    style.quiet = options.quiet;
    style.server = markLines && profile ? profile->name : std::string();
    EventPrinter printer(style);
    const CliSession::Mode mode = options.HasJob()  ? CliSession::Mode::Job
                                  : stdinIsTerminal ? CliSession::Mode::Interactive
                                                    : CliSession::Mode::Piped;
    CPlayerStore store; // opened only when the run bans, kicks with a reason, lists or lifts bans
    CliSession session(options, mode, commands, printer, rules.empty() ? nullptr : &automation,
                       &store);
    return session.Run(*login.login);
}

} // namespace

int RunCli(const CliOptions& options) {
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
    if (servers.empty()) {
        return RunOne(options, nullptr, commands, false);
    }
    // In turn, the worst status last; an interruption ends the round.
    int worst = EXIT_OK;
    for (const ServerProfile* server : servers) {
        const int status = RunOne(options, server, commands, servers.size() > 1);
        worst = std::max(worst, status);
        if (status > 128) {
            break;
        }
    }
    return worst;
}
