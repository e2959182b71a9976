#pragma once
// The whole run after the options were parsed: the saved servers, the login and password, the
// automation rules, and one session per server.

#include "cli/CliOptions.h"

int RunCli(const CliOptions& options);
