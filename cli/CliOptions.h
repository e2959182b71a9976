#pragma once
// The command line of vyr-cli. Parsing only: nothing here reads files or the environment.

#include <optional>
#include <string>
#include <vector>

struct CliOptions {
    std::optional<std::string> host;
    std::optional<std::string> port; // checked when the settings fill the gaps
    std::optional<std::string> user;
    std::optional<std::string> passwordFile;
    std::vector<std::string> commands; // console lines, in order
    double waitSeconds = 1.0;
    bool follow = false;
    bool players = false;
    std::optional<std::string> kick;
    std::optional<std::string> ban;
    bool shutdown = false;
    bool yes = false;
    bool json = false;
    bool timestamps = false;
    bool noColor = false;
    bool quiet = false;

    // True when the run does one job and ends instead of prompting.
    bool HasJob() const {
        return !commands.empty() || players || kick || ban || shutdown || follow;
    }
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
