#pragma once
// Every fixed text the window shows, in one place.

namespace strings {

constexpr char ABOUT_MENU[] = "&About Admin...";
constexpr char SERVER_LIST_CAPTION[] = "Server list";

constexpr char PLAYER_ADMIN[] = "Player Admin";
constexpr char PLAYER_ADMIN_COUNT[] = "Player Admin (%1)";
constexpr char COLUMN_NAME[] = "Name";
constexpr char COLUMN_ID[] = "Id";
constexpr char COLUMN_SCORE[] = "Score";
constexpr char MENU_KICK[] = "&Kick";
constexpr char MENU_BAN[] = "&Ban";
constexpr char MENU_COPY_NAME[] = "Copy &name";
constexpr char MENU_COPY_ID[] = "Copy &id";
constexpr char BAN_QUESTION[] = "Ban %1 (%2)?";

constexpr char SERVER_LIST_EMPTY[] = "The list is empty.";
constexpr char SERVER_LIST_ONE[] = "1 entry";
constexpr char SERVER_LIST_COUNT[] = "%1 entries";
constexpr char MENU_COPY[] = "&Copy";

constexpr char HISTORY_FILE[] = "history";
constexpr char HISTORY_DAMAGED[] = "The command history held unreadable lines; they were left out.";
constexpr char HISTORY_NOT_SAVED[] = "The command history cannot be saved: %1";

constexpr char CONNECT[] = "Connect";
constexpr char DISCONNECT[] = "Disconnect";

constexpr char INVALID_HOST_OR_PORT[] = "Invalid Server Host or Port.";
constexpr char INVALID_NICKNAME[] = "Invalid Nickname. |'s are NOT allowed.";
constexpr char CONNECT_FAILED[] = "A problem occured while trying to connect.";

constexpr char LOG_CONNECTING[] = "Connecting...";
constexpr char LOG_CONNECTED[] = "Connected.";
constexpr char LOG_DISCONNECTED[] = "Disconnected: ";
constexpr char REASON_CLIENT_DISCONNECTED[] = "Client disconnected.";
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
