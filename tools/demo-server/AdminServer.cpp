#include "tools/demo-server/AdminServer.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr auto PING_INTERVAL = std::chrono::seconds(2);
constexpr auto ADMIN_SILENCE_LIMIT = std::chrono::seconds(30);
constexpr auto SHUTDOWN_CONFIRM_WINDOW = std::chrono::seconds(5);

// Refusal codes, as the client words them.
constexpr std::uint8_t REFUSED_ANOTHER_CONNECTED = 2;
constexpr std::uint8_t REFUSED_BAD_LOGIN = 4;
constexpr std::uint8_t REFUSED_SHUTDOWN = 5;
constexpr std::uint8_t REFUSED_INCOMPATIBLE = 6;

// Shutdown statuses.
constexpr std::int8_t SHUTDOWN_FIRST = 1;
constexpr std::int8_t SHUTDOWN_TOO_LATE = 2;
constexpr std::int8_t SHUTDOWN_CONFIRMED = 3;
constexpr std::int8_t SHUTDOWN_DISABLED = 4;

// The client reads at most this much text of a server line.
constexpr std::size_t MAX_SERVER_LINE = MAX_DATAGRAM - 4;
constexpr std::size_t MAX_LOGGED_TEXT = 200;

// Remote text made safe for a terminal: control and non-ASCII bytes become '?', and a long text
// is cut short.
std::string Printable(std::string_view text) {
    std::string out(text.substr(0, MAX_LOGGED_TEXT));
    for (char& c : out) {
        if (c < 0x20 || c > 0x7E) {
            c = '?';
        }
    }
    if (text.size() > MAX_LOGGED_TEXT) {
        out += "...";
    }
    return out;
}

} // namespace

AdminServer::AdminServer(const Options& options, DatagramSocket& socket, PlayerSimulation& game,
                         std::ostream& log)
    : options(options), socket(socket), game(game), log(log) {}

void AdminServer::OnDatagram(const Endpoint& from, const std::uint8_t* data, std::size_t size,
                             Clock::time_point now) {
    const bool fromAdmin = admin && from == *admin;
    if (fromAdmin) {
        lastHeard = now; // any datagram, even a malformed one, shows the admin is alive
    }
    if (size == 0) {
        LogDropped(from, size);
        return;
    }
    const wire::ByteView payload{data + 1, size - 1};
    if (static_cast<std::int8_t>(data[0]) == MSG_LOGIN) {
        HandleLogin(from, payload, now);
    } else if (fromAdmin && !HandleSessionMessage(data[0], payload, now)) {
        LogDropped(from, size);
    }
}

void AdminServer::OnTick(Clock::time_point now) {
    if (!admin) {
        return;
    }
    if (now - lastHeard >= ADMIN_SILENCE_LIMIT) {
        EndSession("timeout: admin silent for 30 s");
        return;
    }
    if (now - lastPing >= PING_INTERVAL) {
        Send(wire::EncodePing());
        lastPing = now;
    }
}

void AdminServer::AnnounceShutdown() {
    if (admin) {
        Send(wire::EncodeRefused(REFUSED_SHUTDOWN));
        admin.reset();
    }
}

bool AdminServer::SendEvent(const Bytes& datagram) {
    return Send(datagram);
}

void AdminServer::HandleLogin(const Endpoint& from, wire::ByteView payload, Clock::time_point now) {
    // A malformed login changes nothing, least of all the session of the admin it claims to be.
    const std::optional<wire::Login> login = wire::DecodeLogin(payload);
    if (!login) {
        LogDropped(from, payload.size + 1);
        return;
    }
    const std::string who = from.ToString();
    if (admin && from != *admin) {
        socket.SendTo(from, wire::EncodeRefused(REFUSED_ANOTHER_CONNECTED));
        Log("login refused from " + who + ": another admin is connected");
        return;
    }
    // A login from the logged-in admin starts the session afresh.
    admin.reset();
    if (payload.data[0] != LOGIN_CONSTANT) {
        socket.SendTo(from, wire::EncodeRefused(REFUSED_INCOMPATIBLE));
        Log("login refused from " + who + ": incompatible version " +
            std::to_string(payload.data[0]));
        return;
    }
    if (login->user != options.user || login->password != options.password) {
        socket.SendTo(from, wire::EncodeRefused(REFUSED_BAD_LOGIN));
        Log("login refused from " + who + " (user " + Printable(login->user) +
            "): wrong user name or password");
        return;
    }
    admin = from;
    lastHeard = now;
    lastPing = now;
    firstShutdownRequest.reset();
    Send(wire::EncodeWelcome(game.Roster()));
    Log("login ok from " + who + " (user " + Printable(login->user) + ")");
}

bool AdminServer::HandleSessionMessage(std::uint8_t type, wire::ByteView payload,
                                       Clock::time_point now) {
    switch (static_cast<std::int8_t>(type)) {
    case MSG_QUIT:
        if (payload.size < 1) {
            return false;
        }
        EndSession("quit");
        break;
    case MSG_CHAT: {
        const std::optional<std::string> text = wire::DecodeClientChat(payload);
        if (!text) {
            return false;
        }
        HandleChat(*text);
        break;
    }
    case MSG_KICK:
    case MSG_BAN: {
        const std::optional<std::uint8_t> id = wire::DecodePlayerCommand(payload);
        if (!id) {
            return false;
        }
        RemovePlayer(*id, type == MSG_BAN);
        break;
    }
    case MSG_KILLSERVER:
        HandleShutdown(now);
        break;
    default:
        break; // pongs and everything else only show that the admin is alive
    }
    return true;
}

void AdminServer::HandleChat(const std::string& text) {
    if (!text.empty() && text[0] == '/') {
        HandleCommand(text);
        return;
    }
    SendServerLine(text);
    Log("chat: " + Printable(text));
}

void AdminServer::HandleCommand(std::string_view line) {
    const std::size_t space = line.find(' ');
    const std::string_view command = line.substr(0, space);
    std::string_view argument = space == std::string_view::npos ? "" : line.substr(space + 1);
    while (!argument.empty() && argument.front() == ' ') {
        argument.remove_prefix(1);
    }
    std::string outcome;
    if (command == "/list" && listAnswersToDrop > 0) {
        --listAnswersToDrop;
        outcome = "answer dropped";
    } else if (command == "/list") {
        std::string text;
        for (const std::string& address : banList) {
            if (text.size() + address.size() + 1 > MAX_LIST_TEXT) {
                break;
            }
            text += address + LIST_SEPARATOR;
        }
        Send(wire::EncodeListText(text));
        outcome = std::to_string(banList.size()) + " banned";
    } else if (command == "/removeip") {
        const auto it = std::find(banList.begin(), banList.end(), argument);
        const bool removed =
            it != banList.end() && std::find(kept.begin(), kept.end(), argument) == kept.end();
        if (removed) {
            banList.erase(it);
        }
        Send(wire::EncodeRemoveIpResult(removed ? 1 : 0));
        outcome = removed ? "removed" : "not banned";
    } else if (command == "/banip" || command == "/alsoban" || command == "/keepip") {
        // Test aids: a ban by another admin now, one at the same moment as the next ban, and
        // an address whose removal the server refuses.
        if (argument.empty()) {
            SendServerLine("Usage: " + std::string(command) + " ADDRESS");
            outcome = "usage";
        } else if (command == "/banip") {
            Bar(std::string(argument));
            outcome = "banned";
        } else if (command == "/alsoban") {
            alsoBanNext.emplace_back(argument);
            outcome = "banned with the next ban";
        } else {
            kept.emplace_back(argument);
            outcome = "kept";
        }
    } else if (command == "/droplist") {
        unsigned count = 0;
        const char* end = argument.data() + argument.size();
        const auto [stop, error] = std::from_chars(argument.data(), end, count);
        if (argument.empty() || error != std::errc() || stop != end) {
            SendServerLine("Usage: /droplist N");
            outcome = "usage";
        } else {
            listAnswersToDrop = count;
            outcome = "the next " + std::to_string(count) + " list answers are dropped";
        }
    } else if (command == "/refuse") {
        unsigned code = 0;
        const char* end = argument.data() + argument.size();
        const auto [stop, error] = std::from_chars(argument.data(), end, code);
        if (argument.empty() || error != std::errc() || stop != end || code > 255) {
            SendServerLine("Usage: /refuse N, with N from 0 to 255");
            outcome = "usage";
        } else {
            Send(wire::EncodeRefused(static_cast<std::uint8_t>(code)));
            admin.reset();
            outcome = "session refused with code " + std::to_string(code);
        }
    } else {
        SendServerLine("Unknown command: " + std::string(command));
        outcome = "unknown";
    }
    Log("command: " + Printable(line) + " -> " + outcome);
}

void AdminServer::RemovePlayer(std::uint8_t id, bool ban) {
    const char* request = ban ? "ban " : "kick ";
    const std::optional<SimulatedPlayer> player = game.Remove(id);
    if (!player) {
        Log(request + std::to_string(id) + ": no such player");
        return;
    }
    Send(wire::EncodePlayerLeave(LEAVE_KICKED, id));
    if (ban) {
        Bar(player->address);
        for (const std::string& address : alsoBanNext) {
            Bar(address);
        }
        alsoBanNext.clear();
    }
    Log(request + std::to_string(id) + " (" + player->name + ", " + player->address + ")");
}

void AdminServer::Bar(const std::string& address) {
    if (std::find(banList.begin(), banList.end(), address) == banList.end()) {
        banList.push_back(address);
    }
}

void AdminServer::HandleShutdown(Clock::time_point now) {
    if (!options.remoteShutdown) {
        Send(wire::EncodeKillServerStatus(SHUTDOWN_DISABLED));
        Log("shutdown: refused, remote shutdown is disabled");
        return;
    }
    if (!firstShutdownRequest) {
        Send(wire::EncodeKillServerStatus(SHUTDOWN_FIRST));
        firstShutdownRequest = now;
        Log("shutdown: first request, waiting 5 s for the second");
    } else if (now - *firstShutdownRequest > SHUTDOWN_CONFIRM_WINDOW) {
        Send(wire::EncodeKillServerStatus(SHUTDOWN_TOO_LATE));
        firstShutdownRequest = now;
        Log("shutdown: second request too late, taken as a first");
    } else {
        Send(wire::EncodeKillServerStatus(SHUTDOWN_CONFIRMED));
        AnnounceShutdown();
        exitRequested = true;
        Log("shutdown: confirmed, exiting");
    }
}

void AdminServer::SendServerLine(std::string_view text) {
    Send(wire::EncodeServerChat(0, CHAT_KIND_SERVER, text.substr(0, MAX_SERVER_LINE)));
}

void AdminServer::EndSession(std::string_view logLine) {
    admin.reset();
    Log(std::string(logLine));
}

bool AdminServer::Send(const Bytes& datagram) {
    return admin && socket.SendTo(*admin, datagram);
}

void AdminServer::LogDropped(const Endpoint& from, std::size_t size) {
    Log("dropped a malformed datagram from " + from.ToString() + " (" + std::to_string(size) +
        " bytes)");
}

void AdminServer::Log(const std::string& line) {
    log << line << std::endl;
}
