#pragma once
// What automation asks of the front end, in order: things to do on the server, things to keep,
// and lines for the log. In a dry run every thing to do comes as a log line instead.

#include <cstdint>
#include <string>

enum class AutomationOutputType {
    Log,       // only a line for the log
    Say,       // send `line` as a console line
    Kick,      // kick the player
    Ban,       // ban the player for `banMinutes` (0: for good)
    Note,      // note `text` on the player in the player database
    Attention, // draw the admin's attention
    Shutdown,  // ask the server to shut down
};

struct AutomationOutput {
    AutomationOutputType type = AutomationOutputType::Log;
    std::string rule; // the rule it comes from; empty for automation's own notices
    std::string log;  // UTF-8 without control characters; always set
    std::string line; // Say: Latin-1, ready for the wire (at most 128 characters)
    std::string text; // UTF-8: the line said, the reason (kick, ban, attention), or the note
    bool hasPlayer = false;
    std::uint8_t playerId = 0;
    std::string playerName; // Latin-1, as the server sent it
    int banMinutes = 0;
};

// "log", "say", "kick", "ban", "note", "attention", "shutdown".
const char* AutomationOutputTypeName(AutomationOutputType type);
