#pragma once
// How long chat lines are kept is one setting for both programs: the window keeps it among its
// preferences ($XDG_CONFIG_HOME/vyr/vyr-admin.conf, an INI file), and vyr-cli reads it from
// there, so that neither deletes lines the other was told to keep.

#include <string>
#include <string_view>

constexpr int DEFAULT_CHAT_RETENTION_DAYS = 90;
constexpr int MAX_CHAT_RETENTION_DAYS = 36500; // a hundred years; 0 keeps lines for ever
// The key, as "section/name", in the window's preferences file.
constexpr char CHAT_RETENTION_KEY[] = "Players/ChatRetentionDays";

// The days in the preferences file's text; the default when the key is missing or its value is
// not a number of days in range.
int ChatRetentionDaysIn(std::string_view iniText);
// The days in the preferences file of the current $XDG_CONFIG_HOME.
int ChatRetentionDays();
// That file.
std::string WindowPreferencesPath();
