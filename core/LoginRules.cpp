#include "core/LoginRules.h"

#include <algorithm>

#include "core/CoreTexts.h"
#include "engine/Protocol.h"

namespace {

constexpr int MAX_PORT = 65535;

std::optional<LoginProblem> CheckField(std::string_view utf8, const char* what,
                                       std::string& latin1) {
    WireText text = TextForWire(utf8, MAX_LOGIN_FIELD);
    if (!text.Ok()) {
        std::string why = text.Describe(std::string("the ") + what);
        return LoginProblem{std::move(why), std::move(text)};
    }
    latin1 = std::move(text.latin1);
    return std::nullopt;
}

} // namespace

std::optional<int> PortNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    int value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > MAX_PORT) {
            return std::nullopt;
        }
    }
    if (negative || value == 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<LoginProblem> CheckServer(std::string_view host, std::string_view portText) {
    if (host.empty() || !PortNumber(portText)) {
        return LoginProblem{texts::INVALID_HOST_OR_PORT, {}};
    }
    return std::nullopt;
}

std::optional<LoginProblem> CheckUser(std::string_view utf8, std::string& latin1) {
    if (utf8.find(LOGIN_SEPARATOR) != std::string_view::npos) {
        return LoginProblem{texts::INVALID_NICKNAME, {}};
    }
    return CheckField(utf8, "user name", latin1);
}

std::optional<LoginProblem> CheckPassword(std::string_view utf8, std::string& latin1) {
    return CheckField(utf8, "password", latin1);
}

LoginCheck CheckLogin(std::string_view host, std::string_view portText, std::string_view user,
                      std::string_view password) {
    LoginCheck check;
    if (auto problem = CheckServer(host, portText)) {
        check.problem = std::move(*problem);
        return check;
    }
    Login login{std::string(host), *PortNumber(portText), {}, {}};
    auto userProblem = CheckUser(user, login.user);
    if (userProblem && userProblem->wireText.Ok()) { // the '|'
        check.problem = std::move(*userProblem);
        return check;
    }
    auto passwordProblem = CheckPassword(password, login.password);
    if (!userProblem && !passwordProblem) {
        check.login = std::move(login);
        return check;
    }
    check.problem = std::move(userProblem ? *userProblem : *passwordProblem);
    if (userProblem && passwordProblem) {
        std::vector<char32_t>& refused = check.problem.wireText.refused;
        for (const char32_t c : passwordProblem->wireText.refused) {
            if (std::find(refused.begin(), refused.end(), c) == refused.end()) {
                refused.push_back(c);
            }
        }
    }
    return check;
}
