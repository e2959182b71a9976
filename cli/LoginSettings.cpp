#include "cli/LoginSettings.h"

#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "core/Latin1Text.h"
#include "engine/Protocol.h"
#include "platform/ConfigPath.h"
#include "platform/PrivateProfile.h"
#include "platform/WholeFile.h"
#include "res/Strings.h"

namespace {

// A password file is a line of text; anything larger is not one.
constexpr std::size_t MAX_PASSWORD_FILE = 64 * 1024;
// The login datagram holds user and password; each gets a fair share of it.
constexpr std::size_t MAX_LOGIN_FIELD = MAX_DATAGRAM / 2 - 8;

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

std::optional<std::string> Password(const CliOptions& options, const std::string& iniPath,
                                    bool stdinIsTerminal, std::string& problem) {
    if (options.passwordFile) {
        const FileBytes file = ReadWholeFile(*options.passwordFile, MAX_PASSWORD_FILE);
        if (file.status != FileReadStatus::Ok) {
            problem = "cannot read the password file " + *options.passwordFile;
            return std::nullopt;
        }
        return FirstLine(file.bytes);
    }
    if (const char* fromEnvironment = std::getenv("VYR_PASSWORD")) {
        return std::string(fromEnvironment);
    }
    using namespace strings;
    if (GetPrivateProfileString(SETTINGS_SECTION, KEY_SAVE_PASS, "", iniPath) == VALUE_TRUE) {
        return GetPrivateProfileString(SETTINGS_SECTION, KEY_PASSWORD, "", iniPath);
    }
    if (stdinIsTerminal) {
        if (std::optional<std::string> typed = PromptWithoutEcho("Password: ")) {
            return typed;
        }
    }
    problem = "no password: use --password-file, VYR_PASSWORD, a saved password in vyr.ini, "
              "or run on a terminal to be asked";
    return std::nullopt;
}

// A field of the login on the wire, or nothing (and `problem`) when the wire cannot carry it.
std::optional<std::string> WireField(const std::string& utf8, const char* what,
                                     std::string& problem) {
    const ConsoleLine field = ConsoleLineFromUtf8(utf8, MAX_LOGIN_FIELD);
    if (!field.problem.empty()) {
        problem = std::string("unusable ") + what + ": " + field.problem;
        return std::nullopt;
    }
    return field.latin1;
}

} // namespace

LoginLookup ResolveLogin(const CliOptions& options, bool stdinIsTerminal) {
    using namespace strings;
    const std::string iniPath = ConfigFilePath(SETTINGS_FILE);
    const auto fromIni = [&](const char* key) {
        return GetPrivateProfileString(SETTINGS_SECTION, key, "", iniPath);
    };
    LoginLookup result;
    LoginSettings login;
    login.host = options.host.value_or(fromIni(KEY_IP));
    const std::optional<int> port = ParsePort(options.port.value_or(fromIni(KEY_PORT)));
    if (login.host.empty() || !port) {
        result.problem = INVALID_HOST_OR_PORT;
        return result;
    }
    login.port = *port;
    const std::string user = options.user.value_or(fromIni(KEY_USERNAME));
    if (user.find(LOGIN_SEPARATOR) != std::string::npos) {
        result.problem = INVALID_NICKNAME;
        return result;
    }
    const std::optional<std::string> userOnWire = WireField(user, "user name", result.problem);
    if (!userOnWire) {
        return result;
    }
    login.user = *userOnWire;
    const std::optional<std::string> password =
        Password(options, iniPath, stdinIsTerminal, result.problem);
    if (!password) {
        return result;
    }
    const std::optional<std::string> passwordOnWire =
        WireField(*password, "password", result.problem);
    if (!passwordOnWire) {
        return result;
    }
    login.password = *passwordOnWire;
    result.login = login;
    return result;
}
