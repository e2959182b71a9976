#pragma once
// Every fixed text the window shows, in one place.

namespace strings {

constexpr char ABOUT_MENU[] = "&About Admin...";

constexpr char PLAYER_ADMIN[] = "Player Admin";
constexpr char PLAYER_ADMIN_COUNT[] = "Player Admin (%1)";
constexpr char COLUMN_NAME[] = "Name";
constexpr char COLUMN_ID[] = "Id";
constexpr char COLUMN_SCORE[] = "Score";
constexpr char MENU_KICK[] = "&Kick";
constexpr char MENU_BAN[] = "&Ban";
constexpr char MENU_COPY_NAME[] = "Copy &name";
constexpr char MENU_COPY_ID[] = "Copy &id";
constexpr char MENU_COPY[] = "&Copy";

constexpr char HISTORY_FILE[] = "history";

constexpr char CONNECT[] = "Connect";
constexpr char DISCONNECT[] = "Disconnect";

constexpr char LOG_SKIPPED[] = "%1 events skipped: they arrived faster than the log can show them.";

// The status log's own options, files and find bar (UTF-8).
constexpr char MENU_FIND[] = "&Find...";
constexpr char MENU_CLEAR_LOG[] = "Clear log";
constexpr char MENU_SHOW_TIMESTAMPS[] = "Show timestamps";
constexpr char MENU_KEEP_LOG_FILES[] = "Keep log files";
constexpr char MENU_OPEN_LOG_FOLDER[] = "Open log folder";
constexpr char MENU_SAVE_LOG_AS[] = "Save log as\u2026";
constexpr char MENU_PREFERENCES[] = "Preferences\u2026";
constexpr char PREFERENCES_CAPTION[] = "Preferences";
constexpr char WATCH_WORD_LABEL[] = "Ask for attention when a chat line contains:";
constexpr char SAVE_LOG_FILTERS[] = "Plain text (*.txt);;HTML with colours (*.html)";
constexpr char SAVE_LOG_FAILED[] = "The log could not be saved to %1: %2";
constexpr char LOG_FILE_FAILED[] =
    "Log file not written (%1: %2). File logging pauses until the next connection.";
constexpr char PREFERENCES_UNREADABLE[] =
    "The preferences file %1 could not be read; the defaults are used.";
constexpr char UNSENDABLE[] =
    "These characters cannot be sent to the server, which takes Latin-1 text only: %1";
constexpr char FIND_PREVIOUS[] = "Previous";
constexpr char FIND_NEXT[] = "Next";
constexpr char FIND_MATCH_CASE[] = "Match case";
constexpr char FIND_PLACEHOLDER[] = "Find in log";

// The Automation window (UTF-8).
constexpr char MENU_AUTOMATION[] = "&Automation\u2026";
constexpr char AUTOMATION_CAPTION[] = "Automation";
constexpr char AUTOMATION_ON[] = "Automation on";
constexpr char AUTOMATION_DRY_RUN[] = "Dry run (only log what would be done)";
constexpr char AUTOMATION_RELOAD[] = "Reload";
constexpr char AUTOMATION_OPEN_FILE[] = "Open file";
constexpr char AUTOMATION_COLUMN_ON[] = "On";
constexpr char AUTOMATION_COLUMN_RULE[] = "Rule";
constexpr char AUTOMATION_COLUMN_WHAT[] = "What";
constexpr char AUTOMATION_COLUMN_LAST[] = "Last run";
constexpr char AUTOMATION_COLUMN_NEXT[] = "Next run";
constexpr char AUTOMATION_COLUMN_HITS[] = "Hits";
constexpr char AUTOMATION_KEPT[] = "Nothing of this file runs; the rules in force stay in force.";
constexpr char AUTOMATION_NO_FILE[] = "No rules file yet: connect to a server first.";
constexpr char AUTOMATION_CANNOT_CREATE[] = "The rules file %1 cannot be made.";

// Saved servers, their passwords and the tabs (UTF-8).
constexpr char CANCEL[] = "Cancel";
constexpr char PICKER_PLAIN[] = "(no profile)";
constexpr char PICKER_SERVERS[] = "Servers\u2026";
constexpr char PICKER_SAVE_AS[] = "Save as profile\u2026";
constexpr char PASSWORD_FROM_KEYRING[] = "from the keyring";
constexpr char PASSWORD_FROM_COMMAND[] = "from its command";
constexpr char LOG_PASSWORD_FROM_KEYRING[] = "Getting the password of %1 from the keyring\u2026";
constexpr char LOG_PASSWORD_FROM_COMMAND[] = "Running the password command of %1\u2026";
constexpr char LOG_PASSWORD_CANCELLED[] = "Connecting cancelled.";
constexpr char LOG_ENTER_PASSWORD[] = "Enter the password of %1, then press Connect.";
constexpr char MENU_SEND_TO_ALL[] = "Send to all tabs\u2026";

constexpr char SERVERS_CAPTION[] = "Servers";
constexpr char SERVERS_ROW[] = "%1    %2@%3:%4";
constexpr char SERVERS_ADD[] = "&Add\u2026";
constexpr char SERVERS_EDIT[] = "&Edit\u2026";
constexpr char SERVERS_RENAME[] = "&Rename\u2026";
constexpr char SERVERS_DELETE[] = "&Delete";
constexpr char SERVERS_UP[] = "Move &up";
constexpr char SERVERS_DOWN[] = "Move do&wn";
constexpr char SERVERS_CLOSE[] = "Close";
constexpr char SERVERS_ADD_CAPTION[] = "Add server";
constexpr char SERVERS_EDIT_CAPTION[] = "Edit server %1";
constexpr char SERVERS_RENAME_CAPTION[] = "Rename server";
constexpr char SERVERS_RENAME_PROMPT[] = "New name for %1:";
constexpr char SERVERS_DELETE_QUESTION[] =
    "Delete the server %1? A password kept for it in the keyring is removed too.";
constexpr char SAVE_AS_CAPTION[] = "Save as profile";
constexpr char PROFILE_NAME[] = "Name:";
constexpr char PROFILE_HOST[] = "Host:";
constexpr char PROFILE_PORT[] = "Port:";
constexpr char PROFILE_USER[] = "Username:";
constexpr char PROFILE_SOURCE[] = "Password:";
constexpr char PROFILE_COMMAND[] = "Command:";
constexpr char PROFILE_KEYRING_PASSWORD[] = "Store in keyring:";
constexpr char PROFILE_AUTOMATION[] = "Automation file:";
constexpr char SOURCE_ASK[] = "Ask each time";
constexpr char SOURCE_KEYRING[] = "From the desktop keyring";
constexpr char SOURCE_COMMAND[] = "From a command";
constexpr char SOURCE_COMMAND_EXAMPLE[] = "pass show game/eu1";
constexpr char KEYRING_PASSWORD_PLACEHOLDER[] = "empty: keep what the keyring has";
constexpr char AUTOMATION_NONE[] = "none";
constexpr char BROWSE[] = "Browse\u2026";

constexpr char WINDOW_TITLE[] = "Vyr Remote Server Admin";
constexpr char NEW_TAB[] = "New tab";
constexpr char MENU_NEW_TAB[] = "&New tab";
constexpr char MENU_CLOSE_TAB[] = "&Close tab";
constexpr char MENU_NEXT_TAB[] = "Ne&xt tab";
constexpr char MENU_PREVIOUS_TAB[] = "&Previous tab";
constexpr char STATE_CONNECTING[] = "connecting";
constexpr char STATE_CONNECTED[] = "connected";
constexpr char STATE_RECONNECTING[] = "reconnecting";
constexpr char STATE_LOST[] = "lost";
constexpr char TAB_TITLE_STATE[] = "%1 \u2013 %2";
constexpr char TAB_TITLE_UNSEEN[] = "%1 (%2)";
constexpr char SEND_TO_ALL_QUESTION[] = "Send \u201c%1\u201d to %2?";
constexpr char SEND_TO_ALL_NONE[] = "No tab is connected.";
constexpr char SAME_LOGIN_REFUSED[] =
    "The tab \u201c%1\u201d already has a session with %2 as %3. The server takes one session "
    "per user; use that tab, or close it first.";
constexpr char TAB_NOT_REOPENED[] =
    "The tab of \u201c%1\u201d was not opened again: there is no such server any more.";
constexpr char PROFILES_UNREADABLE[] = "The saved servers could not be read: %1";

// Bans with memory: the ban and kick dialog, the Bans window (UTF-8).
constexpr char MENU_KICK_WITH_REASON[] = "Kick with &reason\u2026";
constexpr char MENU_BANS[] = "Ba&ns\u2026";
constexpr char BAN_CAPTION[] = "Ban player";
constexpr char KICK_CAPTION[] = "Kick player";
constexpr char BAN_PLAYER[] = "Ban %1 (#%2)?";
constexpr char KICK_PLAYER[] = "Kick %1 (#%2)?";
constexpr char BAN_REASON[] = "Reason:";
constexpr char BAN_DURATION[] = "Duration:";
constexpr char BAN_ONE_HOUR[] = "1 hour";
constexpr char BAN_ONE_DAY[] = "1 day";
constexpr char BAN_ONE_WEEK[] = "1 week";
constexpr char BAN_PERMANENT[] = "Permanent";
constexpr char BAN_CUSTOM[] = "Custom:";
constexpr char BAN_MINUTES[] = "minutes";
constexpr char BAN_HOURS[] = "hours";
constexpr char BAN_DAYS[] = "days";
constexpr char BAN_WEEKS[] = "weeks";
constexpr char BAN_SAY_FIRST[] = "Say the reason in chat first:";
constexpr char BAN_YES[] = "&Ban";
constexpr char KICK_YES[] = "&Kick";
constexpr char BAN_NO[] = "&No";
constexpr char BAN_NOT_SENT[] = "Not sent: %1";
constexpr char BANS_CAPTION[] = "Bans";
constexpr char BANS_FILTER[] = "Filter";
constexpr char BANS_REFRESH[] = "Refresh";
constexpr char BANS_LIFT[] = "Lift ban";
constexpr char BANS_EXPORT[] = "Export\u2026";
constexpr char BANS_COLUMN_ADDRESS[] = "Address";
constexpr char BANS_COLUMN_NAME[] = "Name";
constexpr char BANS_COLUMN_REASON[] = "Reason";
constexpr char BANS_COLUMN_BANNED_AT[] = "Banned at";
constexpr char BANS_COLUMN_BY[] = "By";
constexpr char BANS_COLUMN_EXPIRES[] = "Expires";
constexpr char BANS_NO_LIST[] = "The server's list has not come yet: Refresh asks for it.";
constexpr char BANS_COUNT[] = "%1 addresses on the server's list, %2 recorded here.";
constexpr char BANS_NOT_READ[] = "The bans recorded here cannot be read: %1";
constexpr char BANS_LIFT_QUESTION[] = "Lift the ban on %1?";
constexpr char BANS_EXPORT_FILTER[] = "CSV (*.csv)";
constexpr char BANS_EXPORT_FAILED[] = "The bans could not be written to %1: %2";
constexpr char BANS_EXPORTED[] = "%1 rows written to %2.";

} // namespace strings
