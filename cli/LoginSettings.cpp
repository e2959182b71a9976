#include "cli/LoginSettings.h"

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/ProfilePassword.h"
#include "core/SavedLogin.h"
#include "platform/WholeFile.h"

namespace {

// A password file is a line of text; anything larger is not one.
constexpr std::size_t MAX_PASSWORD_FILE = 64 * 1024;

std::string FirstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// Reads a line from the terminal on stdin without echoing it.
std::optional<std::string> PromptWithoutEcho(const char* prompt) {
    termios saved{};
    if (tcgetattr(STDIN_FILENO, &saved) != 0) {
        return std::nullopt;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    std::cerr << prompt << std::flush;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    // Byte by byte: whatever follows the line stays unread for the prompt that comes next.
    std::string line;
    char c = 0;
    ssize_t n = 0;
    while ((n = read(STDIN_FILENO, &c, 1)) == 1 && c != '\n' && line.size() < MAX_PASSWORD_FILE) {
        line += c;
    }
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (n != 1) {
        return std::nullopt;
    }
    return line;
}

std::optional<std::string> Password(const CliOptions& options, const LoadedLogin& saved,
                                    const ServerProfile* profile, bool stdinIsTerminal,
                                    LoginLookup& result) {
    if (options.passwordFile) {
        const FileBytes file = ReadWholeFile(*options.passwordFile, MAX_PASSWORD_FILE);
        if (file.status != FileReadStatus::Ok) {
            result.problem = "cannot read the password file " + *options.passwordFile;
            return std::nullopt;
        }
        return FirstLine(file.bytes);
    }
    if (const char* fromEnvironment = std::getenv("VYR_PASSWORD")) {
        return std::string(fromEnvironment);
    }
    if (profile) {
        ProfilePassword fromProfile = PasswordOf(*profile);
        result.warning = fromProfile.note;
        if (!fromProfile.problem.empty()) {
            result.problem = fromProfile.problem;
            return std::nullopt;
        }
        if (fromProfile.password) {
            return fromProfile.password;
        }
    } else if (saved.login.savePassword) {
        if (saved.passwordExposed) {
            result.warning = ExposedPasswordWarning(SavedLoginPath());
        }
        return saved.login.password;
    }
    if (stdinIsTerminal) {
        if (std::optional<std::string> typed = PromptWithoutEcho("Password: ")) {
            return typed;
        }
    }
    result.problem = "no password: use --password-file, VYR_PASSWORD, a saved password in "
                     "vyr.ini, or run on a terminal to be asked";
    return std::nullopt;
}

} // namespace

LoginLookup ResolveLogin(const CliOptions& options, const ServerProfile* profile,
                         bool stdinIsTerminal) {
    // A saved server stands in for vyr.ini's fields; the options still override either.
    LoadedLogin saved;
    if (profile) {
        saved.login = {profile->user, {}, false, profile->host, std::to_string(profile->port)};
    } else {
        saved = LoadSavedLogin(SavedLoginPath());
    }
    LoginLookup result;
    Login login;
    login.host = options.host.value_or(saved.login.host);
    const std::string port = options.port.value_or(saved.login.port);
    if (auto problem = CheckServer(login.host, port)) {
        result.problem = problem->text;
        return result;
    }
    login.port = *PortNumber(port);
    if (auto problem = CheckUser(options.user.value_or(saved.login.user), login.user)) {
        result.problem = problem->text;
        return result;
    }
    const std::optional<std::string> password =
        Password(options, saved, profile, stdinIsTerminal, result);
    if (!password) {
        return result;
    }
    if (auto problem = CheckPassword(*password, login.password)) {
        result.problem = problem->text;
        return result;
    }
    result.login = login;
    return result;
}
