#pragma once
// Every fixed text of the window's player memory (UTF-8), and its colour, in one place.

#include "engine/LogEntry.h"

namespace playertexts {

// A watched player's join in the log, and their row in the player table: dark orange.
constexpr COLORREF COLOUR_WATCHED = 0x0066CC;

constexpr char COLUMN_SEEN[] = "Seen";
constexpr char MENU_NOTE[] = "&Note\u2026";
constexpr char MENU_HISTORY[] = "&History\u2026";
constexpr char MENU_PLAYERS[] = "&Players\u2026";

constexpr char TIP_FIRST_SEEN[] = "First seen";
constexpr char TIP_LAST_SEEN[] = "Last seen";
constexpr char TIP_KILLS_DEATHS[] = "Kills / deaths";
constexpr char TIP_NOTE[] = "Note";
constexpr char TIP_WATCHED[] = "Watched";
constexpr char TIP_TRUSTED[] = "Trusted";
constexpr char TIP_NEW[] = "First time on this server";
constexpr char TIP_UNREAD[] = "The player memory cannot say: %1";

constexpr char WATCH_MARK[] = "[watch] ";
constexpr char LOG_WATCHED_JOINED[] = "%1, a watched player, joined";

constexpr char PLAYERS_CAPTION[] = "Players on %1";
constexpr char PLAYERS_CAPTION_NO_SERVER[] = "Players";
constexpr char SEARCH_PLACEHOLDER[] = "Name, or words of chat";
constexpr char SEARCH_NAMES[] = "Names";
constexpr char SEARCH_CHAT[] = "Chat";
constexpr char SEARCH_BUTTON[] = "Search";
constexpr char NO_SERVER[] = "Fill in the server's host and port first: the memory is kept per "
                             "server.";
constexpr char FOUND_NONE[] = "Nothing found.";
constexpr char FOUND_SOME[] = "%1 players";
constexpr char FOUND_MANY[] = "the %1 most recently seen players";
constexpr char COLUMN_PLAYER[] = "Name";
constexpr char COLUMN_LAST_SEEN[] = "Last seen";
constexpr char COLUMN_SESSIONS[] = "Sessions";
constexpr char COLUMN_PLAY_TIME[] = "Play time";
constexpr char COLUMN_KICKS_BANS[] = "Kicks / bans";
constexpr char COLUMN_NOTE[] = "Note";
constexpr char COLUMN_LINES[] = "Lines";
constexpr char SERVER_ROW[] = "(the server itself)";
constexpr char ONLINE_NOW[] = "online now";
constexpr char NEVER[] = "never";

constexpr char PAGE_EMPTY[] = "Choose a player to see their page.";
constexpr char PAGE_SESSIONS[] = "Sessions";
constexpr char PAGE_CHAT[] = "Chat";
constexpr char PAGE_ACTIONS[] = "Actions";
constexpr char PAGE_NOTE[] = "Note";
constexpr char PAGE_FLAG[] = "Flag:";
constexpr char FLAG_NONE[] = "none";
constexpr char FLAG_WATCH[] = "watch: call me when they join";
constexpr char FLAG_TRUSTED[] = "trusted";
constexpr char PAGE_SAVE_NOTE[] = "Save note";
constexpr char PAGE_FORGET[] = "Forget player\u2026";
constexpr char PAGE_CHAT_FILTER[] = "Only lines with these words";
constexpr char PAGE_MORE_CHAT[] = "Older lines";
constexpr char PAGE_SUMMARY[] = "First seen %1, last seen %2. %3 sessions, %4 played. "
                                "%5 kills, %6 deaths, %7 suicides%8. %9 kicks, %10 bans.";
constexpr char PAGE_SCORE[] = ", last score %1";
constexpr char PAGE_CHAT_COUNT[] = "%1 of %2 lines";
constexpr char PAGE_SESSION_COUNT[] = "%1 of %2 sessions";
constexpr char COLUMN_JOINED[] = "Joined";
constexpr char COLUMN_LEFT[] = "Left";
constexpr char COLUMN_HOW[] = "How";
constexpr char COLUMN_TIME[] = "Time";
constexpr char COLUMN_KIND[] = "Kind";
constexpr char COLUMN_TEXT[] = "Text";
constexpr char COLUMN_ACTION[] = "Action";
constexpr char COLUMN_ADMIN[] = "Admin";
constexpr char COLUMN_DETAIL[] = "Detail";
constexpr char STILL_PLAYING[] = "still playing";
constexpr char FORGET_QUESTION[] =
    "Forget %1 on %2? Their sessions, chat lines, actions, note and flag are deleted. A ban "
    "still in force is kept until it is lifted.";
constexpr char NOTE_CAPTION[] = "Note on %1";
constexpr char NOTE_NOT_SAVED[] =
    "The note was not saved: after a failed write the player memory records nothing until the "
    "next connection.";

constexpr char RETENTION_LABEL[] = "Keep chat lines of the player memory for:";
constexpr char RETENTION_SUFFIX[] = " days";
constexpr char RETENTION_FOREVER[] = "ever";

} // namespace playertexts
