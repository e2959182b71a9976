#pragma once
// Every fixed text the window shows, in one place.

namespace strings {

constexpr char ABOUT_MENU[] = "&About Admin...";
constexpr char SERVER_LIST_CAPTION[] = "Server list";

constexpr char CONNECT[] = "Connect";
constexpr char DISCONNECT[] = "Disconnect";

constexpr char INVALID_HOST_OR_PORT[] = "Invalid Server Host or Port.";
constexpr char INVALID_NICKNAME[] = "Invalid Nickname. |'s are NOT allowed.";
constexpr char CONNECT_FAILED[] = "A problem occured while trying to connect.";

constexpr char LOG_CONNECTING[] = "Connecting...";
constexpr char LOG_CONNECTED[] = "Connected.";
constexpr char LOG_DISCONNECTED[] = "Disconnected: ";
constexpr char REASON_CLIENT_DISCONNECTED[] = "Client disconnected.";
constexpr char LOG_RECONNECTING[] = "Reconnecting in %1 s...";
constexpr char LOG_RECONNECT_STOPPED[] = "Reconnecting stopped.";
constexpr char LOG_RECONNECT_FIELDS_CHANGED[] = "Reconnecting stopped: the login fields changed.";
constexpr char LOG_SKIPPED[] = "%1 events skipped: they arrived faster than the log can show them.";

// The settings file.
constexpr char SETTINGS_FILE[] = "vyr.ini";
constexpr char SETTINGS_SECTION[] = "Remote Admin";
constexpr char KEY_USERNAME[] = "Username";
constexpr char KEY_PASSWORD[] = "Password";
constexpr char KEY_SAVE_PASS[] = "SavePass";
constexpr char KEY_IP[] = "IP";
constexpr char KEY_PORT[] = "Port";
constexpr char VALUE_TRUE[] = "true";
constexpr char VALUE_FALSE[] = "false";

} // namespace strings
