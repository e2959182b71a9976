#pragma once
// Asks for the password on the terminal of stdin without echoing it. Every way out puts the
// terminal back exactly as it was: the line read, the end of input, SIGINT, SIGTERM and SIGHUP.
// SIGTSTP (Ctrl+Z) puts it back while the program is stopped and hides the typing again, with
// the question asked anew, when it goes on.

#include <optional>
#include <string>

struct PasswordAnswer {
    std::optional<std::string> password; // none: the input ended or a signal came
    int signal = 0;                      // the signal that ended the question, if one did
};

PasswordAnswer AskPasswordWithoutEcho(const char* prompt);
