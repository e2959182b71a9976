#include "cli/ProfilePassword.h"

#include <poll.h>

#include <cerrno>

#include "core/profiles/Keyring.h"
#include "core/profiles/PasswordCommand.h"

namespace {

// Waits for `fd` to become readable; the source's own time limit ends a wait that is too long.
void WaitFor(int fd) {
    pollfd ready{fd, POLLIN, 0};
    while (::poll(&ready, 1, -1) < 0 && errno == EINTR) {
    }
}

} // namespace

ProfilePassword PasswordOf(const ServerProfile& profile) {
    ProfilePassword result;
    switch (profile.passwordSource) {
    case PasswordSource::Ask:
        break;
    case PasswordSource::Keyring: {
        CKeyring keyring;
        keyring.Lookup(profile);
        std::optional<KeyringAnswer> answer;
        while (!(answer = keyring.TakeAnswer())) {
            WaitFor(keyring.ReadyFd());
        }
        if (answer->outcome == KeyringOutcome::Found) {
            result.password = answer->password.Text();
        } else {
            // No keyring or no password in it: say so and ask, never look anywhere else.
            result.note = answer->message;
        }
        break;
    }
    case PasswordSource::Command: {
        CPasswordCommand command(profile.passwordCommand);
        std::optional<CommandAnswer> answer;
        while (!(answer = command.TakeAnswer())) {
            WaitFor(command.ReadyFd());
        }
        if (answer->problem.empty()) {
            result.password = answer->password.Text();
        } else {
            result.problem =
                "the password command of " + profile.name + " failed: " + answer->problem;
        }
        break;
    }
    }
    return result;
}
