#pragma once
// Where the login comes from: the command line first, then vyr.ini (read, never written); the
// password from a file, the environment, vyr.ini or a prompt, never from an option.

#include <optional>
#include <string>

#include "cli/CliOptions.h"

struct LoginSettings {
    std::string host;
    int port = 0;
    std::string user;     // Latin-1, as the wire carries it
    std::string password; // Latin-1
};

struct LoginLookup {
    std::optional<LoginSettings> login;
    std::string problem; // why there is none: a configuration error
};

LoginLookup ResolveLogin(const CliOptions& options, bool stdinIsTerminal);
