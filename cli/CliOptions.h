#pragma once
// The command line of vyr-cli. Parsing only: nothing here reads files or the environment.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CliOptions {
    std::optional<std::string> host;
    std::optional<std::string> port; // checked when the settings fill the gaps
    std::optional<std::string> user;
    std::optional<std::string> passwordFile;
    std::vector<std::string> servers;      // profiles from servers.toml, in order
    bool listServers = false;              // --servers
    std::optional<std::string> automation; // a rules file
    std::vector<std::string> commands;     // console lines, in order
    double waitSeconds = 1.0;
    bool follow = false;
    bool reconnect = false; // following: a session lost to silence is tried again
    bool players = false;
    std::optional<std::string> kick;
    std::optional<std::string> ban;
    // With --ban: its length (none: permanent); with --kick or --ban: the reason.
    std::optional<std::int64_t> banSeconds;
    bool banLengthGiven = false;
    std::optional<std::string> reason;
    bool bans = false;                // --bans: print the server's list with the records
    std::optional<std::string> unban; // an address, or a player with a recorded ban
    bool shutdown = false;
    std::optional<std::string> seen;   // a player's record in the player memory
    std::optional<std::string> search; // names and chat lines in the player memory
    bool yes = false;
    bool json = false;
    bool timestamps = false;
    bool noColor = false;
    bool quiet = false;

    // True when the run does one job and ends instead of prompting.
    bool HasJob() const { return HasOneShotJob() || follow; }
    // True when the job ends by itself: what several servers can be given in turn.
    bool HasOneShotJob() const {
        return !commands.empty() || players || kick || ban || shutdown || bans || unban ||
               ReadsMemoryOnly();
    }
    // --seen and --search read the player memory without connecting.
    bool ReadsMemoryOnly() const { return seen || search; }
};

struct ParsedCliOptions {
    enum class Action { Run, Help, Version, Error } action = Action::Run;
    CliOptions options;
    std::string error; // for Action::Error
};

// `args` excludes the program name.
ParsedCliOptions ParseCliOptions(const std::vector<std::string>& args);
std::string CliHelpText();
std::string CliUsageHint(); // the line that follows a usage error
