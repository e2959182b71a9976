#include "cli/LoginSettings.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "cli/CliTexts.h"
#include "cli/PasswordPrompt.h"
#include "cli/ProfilePassword.h"
#include "core/SavedLogin.h"
#include "platform/FirstLine.h"
#include "platform/SecretMemory.h"

namespace {

using namespace std::chrono_literals;

// A password is a line of text; a file or pipe that holds no line end within this is no
// password file.
constexpr std::size_t MAX_PASSWORD_FILE = 4096;
// How long a pipe may take to give its line: long enough for `pass` to ask for the key's
// passphrase, short enough that a FIFO nobody writes to does not hold a cron job for ever.
constexpr std::chrono::seconds PASSWORD_PIPE_WAIT = 120s;

std::optional<std::string> FromPasswordFile(const std::string& path, bool stdinCarriesInput,
                                            LoginLookup& result) {
    if (stdinCarriesInput && IsSameFile(path, STDIN_FILENO)) {
        result.problem = "--password-file " + path + " reads stdin, which carries the console " +
                         "lines too: give them with -c or after the options instead";
        return std::nullopt;
    }
    FirstLine file = ReadFirstLine(path, MAX_PASSWORD_FILE, PASSWORD_PIPE_WAIT);
    const std::string cannot = "cannot read the password file " + path + ": ";
    switch (file.status) {
    case FirstLine::Status::Ok:
        return std::move(file.line);
    case FirstLine::Status::Missing:
    case FirstLine::Status::Unreadable:
        result.problem = cannot + std::strerror(file.error);
        break;
    case FirstLine::Status::NotFileOrPipe:
        result.problem = cannot + "not a regular file, pipe or FIFO";
        break;
    case FirstLine::Status::TooLong:
        result.problem =
            cannot + "no line end within its first " + std::to_string(MAX_PASSWORD_FILE) + " bytes";
        break;
    case FirstLine::Status::TimedOut:
        result.problem =
            cannot + "no line came within " + std::to_string(PASSWORD_PIPE_WAIT.count()) + " s";
        break;
    }
    return std::nullopt;
}

std::optional<std::string> Password(const CliOptions& options, LoadedLogin& saved,
                                    const ServerProfile* profile, bool stdinIsTerminal,
                                    LoginLookup& result) {
    if (options.passwordFile) {
        return FromPasswordFile(*options.passwordFile, !options.HasJob(), result);
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
            return std::move(fromProfile.password);
        }
    } else if (saved.login.savePassword) {
        if (saved.passwordExposed) {
            result.warning = ExposedPasswordWarning(SavedLoginPath());
        }
        return std::move(saved.login.password);
    }
    if (stdinIsTerminal) {
        PasswordAnswer typed = AskPasswordWithoutEcho(clitexts::PASSWORD_PROMPT);
        if (typed.signal != 0) {
            result.signal = typed.signal;
            return std::nullopt;
        }
        if (typed.password) {
            return std::move(typed.password);
        }
    }
    result.problem = clitexts::NO_PASSWORD;
    return std::nullopt;
}

// A saved server stands in for vyr.ini's fields; the options still override either.
LoadedLogin StartingFields(const ServerProfile* profile) {
    if (profile) {
        LoadedLogin saved;
        saved.login = {profile->user, {}, false, profile->host, std::to_string(profile->port)};
        return saved;
    }
    return LoadSavedLogin(SavedLoginPath());
}

// The server the options name over `saved`; empty when it is one, else why not.
std::string CheckedServer(const CliOptions& options, const LoadedLogin& saved, std::string& host,
                          int& port) {
    host = options.host.value_or(saved.login.host);
    const std::string typedPort = options.port.value_or(saved.login.port);
    if (auto problem = CheckServer(host, typedPort)) {
        return problem->text;
    }
    port = *PortNumber(typedPort);
    return {};
}

} // namespace

ServerLookup ResolveServer(const CliOptions& options, const ServerProfile* profile) {
    LoadedLogin saved = StartingFields(profile);
    const CWipeOnExit savedPassword(saved.login.password); // never needed here
    ServerLookup result;
    result.problem = CheckedServer(options, saved, result.host, result.port);
    return result;
}

LoginLookup ResolveLogin(const CliOptions& options, const ServerProfile* profile,
                         bool stdinIsTerminal) {
    LoadedLogin saved = StartingFields(profile);
    LoginLookup result;
    if (saved.notAFile) {
        result.warning = NotAFileWarning(SavedLoginPath());
    }
    const CWipeOnExit savedPassword(saved.login.password); // when it is not the one used
    Login login;
    const CWipeOnExit loginPassword(login.password); // what a move leaves behind
    if (std::string problem = CheckedServer(options, saved, login.host, login.port);
        !problem.empty()) {
        result.problem = std::move(problem);
        return result;
    }
    if (auto problem = CheckUser(options.user.value_or(saved.login.user), login.user)) {
        result.problem = problem->text;
        return result;
    }
    std::optional<std::string> password =
        Password(options, saved, profile, stdinIsTerminal, result);
    if (!password) {
        return result;
    }
    const CWipeOnExit typed(*password);
    if (const std::optional<LoginProblem> problem = CheckPassword(*password, login.password)) {
        result.problem = problem->text;
        return result;
    }
    result.login = std::move(login);
    return result;
}
