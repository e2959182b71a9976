#pragma once
// A saved server's password, from where its profile says: the desktop keyring or a command.
// vyr-cli waits for it before it logs in (nothing else runs yet), a signal still ending the wait.

#include <optional>
#include <string>

#include "core/profiles/ServerProfile.h"

struct ProfilePassword {
    std::optional<std::string> password; // none: ask, if there is a terminal to ask on
    std::string problem;                 // a source that failed: no login
    std::string note;                    // said, with a password or without (no keyring running)
};

ProfilePassword PasswordOf(const ServerProfile& profile);
