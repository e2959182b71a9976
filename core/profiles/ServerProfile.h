#pragma once
// One saved server: where it is, who logs in, where the password comes from, and the rules file
// that automates it. The password itself is never part of a profile.

#include <string>

enum class PasswordSource {
    Ask,     // the front end asks each time
    Keyring, // the desktop keyring (Secret Service)
    Command, // the first line printed by a shell command, e.g. `pass show game/eu1`
};

struct ServerProfile {
    std::string name; // also the instance name of the systemd unit vyr-cli@NAME
    std::string host;
    int port = 0;
    std::string user; // UTF-8; must fit the Latin-1 wire
    PasswordSource passwordSource = PasswordSource::Ask;
    std::string passwordCommand; // with PasswordSource::Command only
    std::string automationFile;  // absolute path, or empty for none

    bool operator==(const ServerProfile& other) const;
};

// The longest profile name; it also names a systemd unit, whose names are short.
constexpr std::size_t MAX_PROFILE_NAME = 64;

// What is wrong with `name` as a profile name, or empty when it is fine: 1 to 64 of A-Z a-z 0-9
// . _ -, starting with a letter or digit, so it works unchanged as a systemd instance name, on a
// command line and in a comma-separated list.
std::string ProfileNameProblem(const std::string& name);

// The rules of the other fields, one by one so that a dialog can point at the field and the
// file loader at the place. Each gives what is wrong, or empty when the value is fine.
std::string HostProblem(const std::string& host);
std::string PortProblem(long long port);
std::string UserProblem(const std::string& user);
std::string PasswordCommandProblem(const std::string& command);
std::string AutomationFileProblem(const std::string& path); // empty is fine: no rules file

// The first of the problems above for the whole profile, or empty when it can be saved and used.
std::string ProfileProblem(const ServerProfile& profile);

// "ask", "keyring" or "command", as the profiles file spells the source.
const char* PasswordSourceName(PasswordSource source);
