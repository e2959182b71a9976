#pragma once
// The checks a login passes before a connection is tried, the same in the window and vyr-cli.

#include <optional>
#include <string>
#include <string_view>

#include "core/WireText.h"

// The port text read as C's atoi reads it (blanks, a sign, the leading digits), which is how
// vyr.ini files have always been read: "27888" and "12ab" give 27888 and 12. Nothing for no
// digits, 0, a negative number or one above 65535 (instead of wrapping round to another port).
std::optional<int> PortNumber(std::string_view text);

// The most characters of a user name or password: each gets a fair share of the login datagram.
constexpr std::size_t MAX_LOGIN_FIELD = 504;

struct LoginProblem {
    std::string text;  // what to tell the admin
    WireText wireText; // for a field the wire cannot carry: which characters
};

// The host is not empty and the port is a port; else "Invalid Server Host or Port.".
std::optional<LoginProblem> CheckServer(std::string_view host, std::string_view portText);
// A user name holds no '|' and can go on the wire; `latin1` receives it.
std::optional<LoginProblem> CheckUser(std::string_view utf8, std::string& latin1);
// A password can go on the wire; `latin1` receives it.
std::optional<LoginProblem> CheckPassword(std::string_view utf8, std::string& latin1);

// A login ready for the wire.
struct Login {
    std::string host;
    int port = 0;
    std::string user;     // Latin-1
    std::string password; // Latin-1
};

// Every check in turn: the server, the user name's '|', then both fields on the wire; characters
// that neither field can carry are named together.
struct LoginCheck {
    std::optional<Login> login;
    LoginProblem problem;
};
LoginCheck CheckLogin(std::string_view host, std::string_view portText, std::string_view user,
                      std::string_view password);
