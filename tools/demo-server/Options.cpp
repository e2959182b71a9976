#include "tools/demo-server/Options.h"

#include <arpa/inet.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

template <typename Int> bool ParseInteger(const std::string& text, Int low, Int high, Int& out) {
    Int value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < low || value > high) {
        return false;
    }
    out = value;
    return true;
}

bool ParseRate(const std::string& text, double& out) {
    if (text.empty()) {
        return false;
    }
    char* stop = nullptr;
    const double value = std::strtod(text.c_str(), &stop);
    if (*stop != '\0' || !std::isfinite(value) || value < 0.0 || value > MAX_RATE) {
        return false;
    }
    out = value;
    return true;
}

bool IsIpv4Address(const std::string& text) {
    in_addr parsed{};
    return inet_pton(AF_INET, text.c_str(), &parsed) == 1;
}

ParsedCommandLine Error(const std::string& message) {
    ParsedCommandLine result;
    result.action = ParsedCommandLine::Action::Error;
    result.error = message;
    return result;
}

} // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine result;
    Options& o = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            result.action = ParsedCommandLine::Action::Help;
            return result;
        }
        if (name == "--version") {
            result.action = ParsedCommandLine::Action::Version;
            return result;
        }
        if (name == "--no-remote-shutdown") {
            o.remoteShutdown = false;
            continue;
        }
        const bool takesValue = name == "--bind" || name == "--port" || name == "--user" ||
                                name == "--password" || name == "--players" || name == "--rate" ||
                                name == "--seed";
        if (!takesValue) {
            return Error("unknown option '" + name + "'");
        }
        if (i + 1 == args.size()) {
            return Error(name + " needs a value");
        }
        const std::string& value = args[++i];
        bool ok = true;
        if (name == "--bind") {
            ok = IsIpv4Address(value);
            o.bindAddress = value;
        } else if (name == "--port") {
            ok = ParseInteger<std::uint16_t>(value, 0, 65535, o.port);
        } else if (name == "--user") {
            // The login splits user and password at the first "|".
            ok = !value.empty() && value.find('|') == std::string::npos;
            o.user = value;
        } else if (name == "--password") {
            o.password = value;
        } else if (name == "--players") {
            ok = ParseInteger(value, 0, MAX_PLAYERS, o.players);
        } else if (name == "--rate") {
            ok = ParseRate(value, o.rate);
        } else {
            std::uint32_t seed = 0;
            ok = ParseInteger<std::uint32_t>(value, 0, UINT32_MAX, seed);
            o.seed = seed;
        }
        if (!ok) {
            return Error("invalid value '" + value + "' for " + name);
        }
    }
    return result;
}

std::string HelpText() {
    std::ostringstream out;
    out << "Usage: vyr-demo-server [OPTION]...\n"
        << "A simulated game server for Vyr Remote Server Admin: it accepts one admin login over\n"
        << "UDP and plays a game of simulated players while the admin is logged in.\n\n"
        << "  --bind ADDR           IPv4 address to listen on (default 127.0.0.1)\n"
        << "  --port N              UDP port (default " << DEFAULT_PORT << "); 0 picks a free one\n"
        << "  --user U              admin user name, without '|' (default admin)\n"
        << "  --password P          admin password (default admin)\n"
        << "  --players N           players to keep in the game, 0.." << MAX_PLAYERS
        << " (default 8)\n"
        << "  --rate EVENTS_PER_S   game events per second, 0 keeps the players still\n"
        << "                        (default 1, up to " << static_cast<long>(MAX_RATE) << ")\n"
        << "  --seed S              seed of the simulation, for a repeatable game\n"
        << "  --no-remote-shutdown  refuse the admin's shutdown request\n"
        << "  -h, --help            show this text and exit\n"
        << "  --version             show the version and exit\n\n"
        << "Console commands (chat lines beginning with '/'): /list answers the ban list,\n"
        << "/removeip ADDR lifts a ban, /refuse N ends the session with refusal code N (0..255).\n"
        << "Exit status: 0 on a signal or a remote shutdown, 1 when the port cannot be opened,\n"
        << "2 on bad options.\n";
    return out.str();
}
