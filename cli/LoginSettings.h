#pragma once
// Where vyr-cli's login comes from: the command line first, then vyr.ini (read, never written);
// the password from a file or pipe, the environment, vyr.ini or a prompt, never from an option.

#include <optional>
#include <string>

#include "cli/CliOptions.h"
#include "core/LoginRules.h"
#include "core/profiles/ServerProfile.h"

struct LoginLookup {
    std::optional<Login> login;
    std::string problem; // why there is none: a configuration error
    std::string warning; // to show, with a login or without
    int signal = 0;      // the password question was ended by this signal
};

// `profile`: a saved server in place of vyr.ini, or null. The password is held in `login` only;
// every other copy is wiped.
LoginLookup ResolveLogin(const CliOptions& options, const ServerProfile* profile,
                         bool stdinIsTerminal);

// The server alone, named as a login names it, for what needs no password and no connection.
struct ServerLookup {
    std::string host;
    int port = 0;
    std::string problem; // why the options, saved server and vyr.ini name no server
};
ServerLookup ResolveServer(const CliOptions& options, const ServerProfile* profile);
