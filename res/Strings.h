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

} // namespace strings
