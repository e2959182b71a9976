#pragma once
// The command line of vyr-demo-server.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The welcome carries the whole roster and the client reads at most 1024 bytes of it; 60 players
// (plus the one the simulation may hold above the target) with 12-character names still fit.
constexpr int MAX_PLAYERS = 60;
constexpr double MAX_RATE = 1000000.0;
constexpr std::uint16_t DEFAULT_PORT = 27888;

struct Options {
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = DEFAULT_PORT;
    std::string user = "admin";
    std::string password = "admin";
    int players = 8;
    double rate = 1.0;                 // events per second; 0 keeps the players still
    std::optional<std::uint32_t> seed; // none: one is drawn at start and printed
    bool remoteShutdown = true;
};

struct ParsedCommandLine {
    enum class Action { Run, Help, Version, Error } action = Action::Run;
    Options options;
    std::string error; // for Action::Error
};

// `args` excludes the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);
std::string HelpText();
