#pragma once
// What the desktop keyring answered about one profile's password.

#include <string>

#include "core/profiles/SecretText.h"

enum class KeyringOutcome {
    Found,       // `password` holds it
    NotStored,   // the keyring works but holds no password for the profile
    Stored,      // stored (or moved to the profile's new name, host, port or user)
    Cleared,     // removed
    Unavailable, // no D-Bus session, no Secret Service, a locked or missing collection, ...
};

struct KeyringAnswer {
    unsigned request = 0; // the number the call that asked returned
    KeyringOutcome outcome = KeyringOutcome::Unavailable;
    SecretText password;
    std::string message; // one line for the user, whatever the outcome
};
