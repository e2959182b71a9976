#include "cli/CliOptions.h"

#include "core/LoginRules.h"
#include "core/bans/BanDuration.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

namespace {

// Generous enough for any script, small enough that the deadline arithmetic cannot overflow.
constexpr double MAX_WAIT_SECONDS = 86400.0;

ParsedCliOptions Error(const std::string& message) {
    ParsedCliOptions result;
    result.action = ParsedCliOptions::Action::Error;
    result.error = message;
    return result;
}

std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* stop = nullptr;
    const double value = std::strtod(text.c_str(), &stop);
    if (*stop != '\0' || !std::isfinite(value) || value < 0.0 || value > MAX_WAIT_SECONDS) {
        return std::nullopt;
    }
    return value;
}

using Setter = std::function<bool(CliOptions&, const std::string&)>;

// The options that take a value, by every name they answer to.
const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = [] {
        const Setter host = [](CliOptions& o, const std::string& v) { return (o.host = v), true; };
        const Setter port = [](CliOptions& o, const std::string& v) {
            o.port = v;
            return PortNumber(v).has_value();
        };
        const Setter user = [](CliOptions& o, const std::string& v) { return (o.user = v), true; };
        const Setter file = [](CliOptions& o, const std::string& v) {
            return (o.passwordFile = v), true;
        };
        const Setter command = [](CliOptions& o, const std::string& v) {
            o.commands.push_back(v);
            return true;
        };
        const Setter wait = [](CliOptions& o, const std::string& v) {
            const std::optional<double> seconds = ParseSeconds(v);
            o.waitSeconds = seconds.value_or(0);
            return seconds.has_value();
        };
        const Setter kick = [](CliOptions& o, const std::string& v) { return (o.kick = v), true; };
        const Setter ban = [](CliOptions& o, const std::string& v) { return (o.ban = v), true; };
        const Setter length = [](CliOptions& o, const std::string& v) {
            const std::optional<BanLength> parsed = ParseBanLength(v);
            o.banSeconds = parsed ? parsed->seconds : std::nullopt;
            o.banLengthGiven = true;
            return parsed.has_value();
        };
        const Setter reason = [](CliOptions& o, const std::string& v) {
            return (o.reason = v), true;
        };
        const Setter unban = [](CliOptions& o, const std::string& v) {
            return (o.unban = v), !v.empty();
        };
        const Setter servers = [](CliOptions& o, const std::string& v) {
            std::size_t start = 0;
            for (std::size_t comma = v.find(','); start <= v.size(); comma = v.find(',', start)) {
                const std::size_t end = comma == std::string::npos ? v.size() : comma;
                o.servers.push_back(v.substr(start, end - start));
                start = end + 1;
            }
            return std::none_of(o.servers.begin(), o.servers.end(),
                                [](const std::string& name) { return name.empty(); });
        };
        const Setter automation = [](CliOptions& o, const std::string& v) {
            return (o.automation = v), !v.empty();
        };
        const Setter seen = [](CliOptions& o, const std::string& v) {
            return (o.seen = v), !v.empty();
        };
        const Setter search = [](CliOptions& o, const std::string& v) {
            return (o.search = v), !v.empty();
        };
        return std::map<std::string, Setter>{
            {"-H", host},      {"--host", host},       {"-p", port},
            {"--port", port},  {"-u", user},           {"--user", user},
            {"-c", command},   {"--command", command}, {"-w", wait},
            {"--wait", wait},  {"-k", kick},           {"--kick", kick},
            {"-b", ban},       {"--ban", ban},         {"--password-file", file},
            {"-s", servers},   {"--server", servers},  {"--automation", automation},
            {"--for", length}, {"--reason", reason},   {"--unban", unban},
            {"--seen", seen},  {"--search", search},
        };
    }();
    return options;
}

const std::map<std::string, bool CliOptions::*>& FlagOptions() {
    static const std::map<std::string, bool CliOptions::*> flags{
        {"-f", &CliOptions::follow},
        {"--follow", &CliOptions::follow},
        {"-r", &CliOptions::reconnect},
        {"--reconnect", &CliOptions::reconnect},
        {"--players", &CliOptions::players},
        {"--servers", &CliOptions::listServers},
        {"--shutdown", &CliOptions::shutdown},
        {"--bans", &CliOptions::bans},
        {"-y", &CliOptions::yes},
        {"--yes", &CliOptions::yes},
        {"-j", &CliOptions::json},
        {"--json", &CliOptions::json},
        {"-t", &CliOptions::timestamps},
        {"--timestamps", &CliOptions::timestamps},
        {"--no-color", &CliOptions::noColor},
        {"-q", &CliOptions::quiet},
        {"--quiet", &CliOptions::quiet},
    };
    return flags;
}

} // namespace

ParsedCliOptions ParseCliOptions(const std::vector<std::string>& args) {
    ParsedCliOptions result;
    CliOptions& o = result.options;
    std::string words; // COMMAND words after the options: one more console line
    std::size_t i = 0;
    for (; i < args.size(); ++i) {
        std::string name = args[i];
        if (name == "--") {
            ++i;
            break;
        }
        if (name.empty() || name[0] != '-' || name == "-") {
            break;
        }
        if (name == "--help") {
            result.action = ParsedCliOptions::Action::Help;
            return result;
        }
        if (name == "--version") {
            result.action = ParsedCliOptions::Action::Version;
            return result;
        }
        std::optional<std::string> attached; // --name=value
        if (const std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != name.npos) {
            attached = name.substr(eq + 1);
            name.resize(eq);
        }
        if (const auto flag = FlagOptions().find(name); flag != FlagOptions().end()) {
            if (attached) {
                return Error("option '" + name + "' takes no value");
            }
            o.*(flag->second) = true;
            continue;
        }
        const auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) {
            return Error("unknown option '" + name + "'");
        }
        if (!attached && i + 1 == args.size()) {
            return Error("option '" + name + "' needs a value");
        }
        const std::string value = attached ? *attached : args[++i];
        if (!option->second(o, value)) {
            return Error("invalid value '" + value + "' for " + name);
        }
    }
    for (; i < args.size(); ++i) {
        words += (words.empty() ? "" : " ") + args[i];
    }
    if (!words.empty()) {
        o.commands.push_back(words);
    }
    if (o.shutdown && !o.yes) {
        return Error("--shutdown stops the game server for everyone; add --yes to confirm");
    }
    if (static_cast<int>(o.kick.has_value()) + o.ban.has_value() + o.unban.has_value() + o.bans >
        1) {
        return Error("--kick, --ban, --unban and --bans cannot be combined");
    }
    if (o.banLengthGiven && !o.ban) {
        return Error("--for goes with --ban");
    }
    if (o.reason && !o.kick && !o.ban) {
        return Error("--reason goes with --kick or --ban");
    }
    if (o.ReadsMemoryOnly() &&
        (!o.commands.empty() || o.players || o.kick || o.ban || o.shutdown || o.follow)) {
        return Error("--seen and --search read the player memory without connecting; they do "
                     "not go with commands, --players, --kick, --ban, --shutdown or --follow");
    }
    if (o.reconnect && !o.follow) {
        return Error("--reconnect goes with --follow");
    }
    if (o.servers.size() > 1 && !o.HasOneShotJob()) {
        return Error("several servers take a one-shot job: commands, --players, --kick, --ban, "
                     "--shutdown, --seen or --search");
    }
    return result;
}

std::string CliUsageHint() {
    return "Try 'vyr-cli --help'.";
}

std::string CliHelpText() {
    return R"(Usage: vyr-cli [OPTION]... [COMMAND]...
Log in to a game server as its remote admin, from a terminal or a script.

With no command and no job option, and stdin a terminal, vyr-cli opens an
interactive prompt; with stdin a pipe, every line read is sent as a console line.

  -H, --host HOST          server host (default: IP from vyr.ini)
  -p, --port PORT          server admin port, 1-65535 (default: Port from vyr.ini)
  -u, --user USER          admin user (default: Username from vyr.ini)
  -s, --server NAME        use the saved server NAME from servers.toml (host,
                           port, user, password source, automation file; the
                           options above still override); NAME,NAME,... runs a
                           one-shot job on each in turn, each line marked with
                           its server, and exits with the worst status
      --servers            list the saved servers and exit
      --password-file FILE read the password from the first line of FILE, a
                           file, pipe or FIFO (<(pass show game), /dev/stdin)
  -c, --command TEXT       send TEXT as a console line (repeatable, in order);
                           COMMAND words after the options are one more line
  -w, --wait SECONDS       after the last command, keep printing answers this
                           long, then quit (default 1)
  -f, --follow             stay connected and print events until interrupted
                           (Ctrl+C or SIGTERM: quit sent, exit 0)
  -r, --reconnect          with --follow: a session lost to silence is tried
                           again after 2, 4, 8, 16 and 30 s, then every 30 s
      --automation FILE    run the automation rules of FILE (default: the saved
                           server's rules file) and print each action
      --players            print the player list after login, then quit
  -k, --kick PLAYER        kick PLAYER (an exact name or #id); succeeds when the
                           server reports the kick
  -b, --ban PLAYER         ban PLAYER, likewise; the banned address is learnt
                           from the server's list and kept with the ban
      --for LENGTH         with --ban: lift the ban after LENGTH (30m, 2h, 1d,
                           1w, or "permanent", the default)
      --reason TEXT        with --kick or --ban: the reason, kept with it
      --bans               print the server's ban list with the bans recorded
                           here (name, reason, when, by whom, expiry), then quit
      --unban ADDR|PLAYER  lift the ban of an address, or the recorded ban of
                           a player
      --shutdown           ask the server to shut down (both requests of its
                           confirmation); needs --yes
  -y, --yes                confirm --shutdown
      --seen PLAYER        print what the player memory holds on PLAYER for the
                           server (record, latest sessions, chat and actions)
                           without connecting; exit 5 when there is none
      --search TEXT        print the players whose names hold TEXT and those
                           whose chat lines hold all its words, without
                           connecting
  -j, --json               JSON Lines output, one object per event
  -t, --timestamps         prefix text lines with the time
      --no-color           plain text (also when NO_COLOR is set or stdout is
                           not a terminal)
  -q, --quiet              print only answers and errors
      --help               show this text and exit
      --version            show the version and exit

Password, first found: --password-file, the environment variable VYR_PASSWORD,
the saved server's password source (the desktop keyring or a command), else
vyr.ini's Password when its SavePass is true (without --server), else a prompt
without echo when stdin is a terminal. There is no option that takes the
password itself.

Interactive commands: :players, :kick PLAYER [REASON], :ban PLAYER [LENGTH]
[REASON], :bans, :unban ADDR|PLAYER, :seen PLAYER, :note PLAYER TEXT,
:search TEXT, :shutdown, :help, :quit (also Ctrl+D); every other line goes to
the server as a console line.

The prompt and --follow record the session in the player memory; other jobs
record only their kicks and bans. Timed bans lift themselves at expiry while
vyr-cli follows a server or prompts, and bans that expired meanwhile are lifted
at the next login, one a second.

Files: $XDG_CONFIG_HOME/vyr.ini (read only), $XDG_CONFIG_HOME/vyr/servers.toml
(read only), $XDG_STATE_HOME/vyr/cli_history, $XDG_DATA_HOME/vyr/players.sqlite
(the player memory and the bans recorded here; chat kept as long as the
window's preferences say, 90 days unless changed).

Exit status: 0 success; 1 refused by the server; 2 usage or configuration
error, or a console line that could not be sent; 3 could not reach the server;
4 the connection was lost; 5 a kick, ban or unban target was not found, or
nothing in the player memory; 6 the player memory could not be read. SIGINT,
SIGTERM and SIGHUP log out; a job they cut short exits with 128 + the signal.

See vyr-cli(1) for more.
)";
}
