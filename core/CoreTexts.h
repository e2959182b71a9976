#pragma once
// The texts of a session and its login that both front ends show, in one place.

#include <string>
#include <string_view>

#include "engine/LogEntry.h"

// Automation's own lines stand out from the server's: their own colour and a mark before them.
constexpr COLORREF COLOUR_AUTOMATION = 0x990066; // red 102, blue 153
constexpr char AUTOMATION_MARK[] = "[auto] ";

namespace texts {

// `pattern` with its "%1" replaced by `value` (the patterns below are also Qt's arg() patterns).
inline std::string Filled(std::string_view pattern, std::string_view value) {
    std::string text(pattern);
    if (const std::size_t at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

constexpr char LOG_CONNECTING[] = "Connecting...";
constexpr char LOG_CONNECTED[] = "Connected.";
constexpr char LOG_DISCONNECTED[] = "Disconnected: ";
constexpr char REASON_CLIENT_DISCONNECTED[] = "Client disconnected.";
constexpr char LOG_RECONNECTING[] = "Reconnecting in %1 s...";
constexpr char LOG_RECONNECT_STOPPED[] = "Reconnecting stopped.";
constexpr char LOG_RECONNECT_FIELDS_CHANGED[] = "Reconnecting stopped: the login fields changed.";

constexpr char INVALID_HOST_OR_PORT[] = "Invalid Server Host or Port.";
constexpr char INVALID_NICKNAME[] = "Invalid Nickname. |'s are NOT allowed.";
constexpr char CONNECT_FAILED[] = "A problem occured while trying to connect.";

constexpr char HISTORY_DAMAGED[] = "The command history held unreadable lines; they were left out.";
constexpr char HISTORY_NOT_SAVED[] = "The command history cannot be saved: %1";

} // namespace texts
