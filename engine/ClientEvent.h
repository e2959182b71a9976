#pragma once
// What the client makes of one server event, in fields a front end can print or serialise. The
// window needs only the log text; a terminal or a script wants the ids and names as well.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/LogColours.h"

enum class EventType {
    Join,
    Leave,
    Kick,
    Timeout,
    Death,
    Chat,
    Value,
    List,
    RemoveIp,
    Shutdown,
    Refused
};

struct ClientEvent {
    explicit ClientEvent(EventType type, std::string text = {}, COLORREF colour = COLOUR_BLACK,
                         std::uint8_t id = 0)
        : type(type), text(std::move(text)), colour(colour), id(id) {}

    EventType type;
    std::string text; // the log text (printable); empty where the log shows nothing
    COLORREF colour;
    std::uint8_t id;       // joiner, leaver, chat sender, death victim, value owner
    std::string name;      // that player's name as the server sent it (raw bytes)
    bool hasOther = false; // death: a killer that the roster knows
    std::uint8_t otherId = 0;
    std::string otherName;
    std::int16_t value = 0;
    int code = 0;        // chat kind, leave reason, refusal code, removeip result, shutdown status
    std::string message; // chat text (raw), refusal reason
    std::vector<std::string> entries; // list entries (raw)
};
