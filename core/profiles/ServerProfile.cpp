#include "core/profiles/ServerProfile.h"

#include <glib.h>

#include "core/WireText.h"

namespace {

// Host names are at most 253 characters; a little slack for IPv6 literals with a zone.
constexpr std::size_t MAX_HOST = 255;
// Longer than any user name a server hands out, short enough to show in one line.
constexpr std::size_t MAX_USER = 64;
// PATH_MAX, and as long as a command line anyone writes into a settings file.
constexpr std::size_t MAX_PATH_OR_COMMAND = 4096;

bool IsNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

// Empty when `text` is UTF-8 without control characters (tabs only where `tabs` says so).
std::string TextProblem(const std::string& text, const char* what, bool tabs) {
    if (!g_utf8_validate_len(text.data(), text.size(), nullptr)) {
        return std::string(what) + " is not valid UTF-8 text";
    }
    for (const char* c = text.c_str(); *c != '\0'; c = g_utf8_next_char(c)) {
        const gunichar u = g_utf8_get_char(c);
        if (g_unichar_iscntrl(u) && !(tabs && u == '\t')) {
            return std::string(what) + " holds a line break or another control character";
        }
    }
    return {};
}

} // namespace

bool ServerProfile::operator==(const ServerProfile& other) const {
    return name == other.name && host == other.host && port == other.port && user == other.user &&
           passwordSource == other.passwordSource && passwordCommand == other.passwordCommand &&
           automationFile == other.automationFile;
}

std::string ProfileNameProblem(const std::string& name) {
    if (name.empty()) {
        return "the server name is empty";
    }
    if (name.size() > MAX_PROFILE_NAME) {
        return "the server name is longer than " + std::to_string(MAX_PROFILE_NAME) + " characters";
    }
    bool fine = name[0] != '.' && name[0] != '_' && name[0] != '-';
    for (const char c : name) {
        fine = fine && IsNameCharacter(c);
    }
    if (!fine) {
        return "the server name may hold only A-Z, a-z, 0-9, '.', '_' and '-', and must start "
               "with a letter or digit (it also names the service vyr-cli@NAME)";
    }
    return {};
}

std::string HostProblem(const std::string& host) {
    if (host.empty()) {
        return "the host is empty";
    }
    if (host.size() > MAX_HOST) {
        return "the host is longer than " + std::to_string(MAX_HOST) + " characters";
    }
    if (host.find_first_of(" \t") != std::string::npos) {
        return "the host holds a blank";
    }
    return TextProblem(host, "the host", false);
}

std::string PortProblem(long long port) {
    return port >= 1 && port <= 65535 ? "" : "the port must be a whole number from 1 to 65535";
}

std::string UserProblem(const std::string& user) {
    if (user.find('|') != std::string::npos) {
        return "the user name may not hold '|'";
    }
    const WireText onWire = TextForWire(user, MAX_USER);
    return onWire.Ok() ? "" : onWire.Describe("the user name");
}

std::string PasswordCommandProblem(const std::string& command) {
    if (command.find_first_not_of(" \t") == std::string::npos) {
        return "the password command is empty";
    }
    if (command.size() > MAX_PATH_OR_COMMAND) {
        return "the password command is longer than " + std::to_string(MAX_PATH_OR_COMMAND) +
               " bytes";
    }
    return TextProblem(command, "the password command", true);
}

std::string AutomationFileProblem(const std::string& path) {
    if (path.empty()) {
        return {};
    }
    if (path[0] != '/') {
        return "the automation file must be given as an absolute path (starting with /)";
    }
    if (path.size() > MAX_PATH_OR_COMMAND) {
        return "the automation file path is longer than " + std::to_string(MAX_PATH_OR_COMMAND) +
               " bytes";
    }
    return TextProblem(path, "the automation file path", false);
}

std::string ProfileProblem(const ServerProfile& profile) {
    const bool command = profile.passwordSource == PasswordSource::Command;
    for (std::string problem :
         {ProfileNameProblem(profile.name), HostProblem(profile.host), PortProblem(profile.port),
          UserProblem(profile.user),
          command ? PasswordCommandProblem(profile.passwordCommand) : std::string(),
          AutomationFileProblem(profile.automationFile)}) {
        if (!problem.empty()) {
            return problem;
        }
    }
    return {};
}

const char* PasswordSourceName(PasswordSource source) {
    switch (source) {
    case PasswordSource::Ask:
        return "ask";
    case PasswordSource::Keyring:
        return "keyring";
    case PasswordSource::Command:
        return "command";
    }
    return "ask";
}
