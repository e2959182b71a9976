#include "engine/ClientTexts.h"

#include "engine/Protocol.h"

namespace texts {

Refusal RefusalFor(std::uint8_t code) {
    switch (code) {
    case 0:
        return {"Another player is using this nick.", "Nick already in use."};
    case 1:
        return {"Your address is banned from the server.", "Address is banned."};
    case 2:
        return {"Another player is already connected from this IP.", "IP Already connected."};
    case 4:
        return {"Invalid username or password.", "Invalid username or password."};
    case 5:
        return {"Disconnected: server shutdown.", "Server shutdown."};
    case 6:
        return {"Disconnected: Incompatible version.", "Incompatible version."};
    default: // 3 and 7..255
        return {"", "Server refused connection."};
    }
}

std::optional<std::string_view> KillServerText(std::int8_t status) {
    switch (status) {
    case 1:
        return "KILLSERVER: First attempt received ... waiting 5 secs for Second attempt.";
    case 2:
        return "KILLSERVER: Second attempt too late ... treated as First attempt.";
    case 3:
        return "KILLSERVER: Second attempt received ... shutting down.";
    case 4:
        return "KILLSERVER: Remote Shutdown has been disabled.";
    default:
        return std::nullopt;
    }
}

std::string_view LeaveText(std::uint8_t reason) {
    switch (reason) {
    case LEAVE_KICKED:
        return " has been kicked from the game.";
    case LEAVE_TIMED_OUT:
        return " timed out.";
    default:
        return " has left the game.";
    }
}

} // namespace texts
