#include "engine/ClientTexts.h"

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

std::string ShutdownText(ShutdownStatus status) {
    switch (status) {
    case ShutdownStatus::FirstAttempt:
        return "KILLSERVER: First attempt received ... waiting 5 secs for Second attempt.";
    case ShutdownStatus::TooLate:
        return "KILLSERVER: Second attempt too late ... treated as First attempt.";
    case ShutdownStatus::ShuttingDown:
        return "KILLSERVER: Second attempt received ... shutting down.";
    case ShutdownStatus::Disabled:
        return "KILLSERVER: Remote Shutdown has been disabled.";
    }
    return "KILLSERVER: Unknown status " + std::to_string(static_cast<int>(status)) + ".";
}

std::string UnknownPlayer(std::uint8_t id) {
    return "Player #" + std::to_string(id);
}

std::string JoinText(std::string_view name) {
    return std::string(name) + " has joined the game.";
}

std::string LeaveText(std::string_view name, std::uint8_t reason) {
    switch (reason) {
    case LEAVE_KICKED:
        return std::string(name) + " has been kicked from the game.";
    case LEAVE_TIMED_OUT:
        return std::string(name) + " timed out.";
    default:
        return std::string(name) + " has left the game.";
    }
}

std::string DeathText(std::string_view victim, const std::optional<std::string>& killer,
                      bool self) {
    if (!killer) {
        return std::string(victim) + " died.";
    }
    if (self) {
        return std::string(victim) + " killed himself.";
    }
    return *killer + " killed " + std::string(victim) + ".";
}

std::string ChatText(const std::optional<std::string>& sender, std::string_view text) {
    if (!sender) {
        return "<" + std::string(text) + ">";
    }
    return *sender + ": " + std::string(text);
}

} // namespace texts
