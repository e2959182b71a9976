#include "cli/EventPrinter.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "cli/JsonObject.h"
#include "core/Latin1Text.h"
#include "engine/PlayerList.h"
#include "engine/PrintableText.h"
#include "engine/Protocol.h"

namespace {

// Server text for the terminal: escaped controls, then UTF-8.
std::string ForTerminal(std::string_view raw) {
    return Latin1ToUtf8(Printable(raw));
}

const char* TypeName(EventType type) {
    switch (type) {
    case EventType::Join:
        return "join";
    case EventType::Leave:
        return "leave";
    case EventType::Kick:
        return "kick";
    case EventType::Timeout:
        return "timeout";
    case EventType::Death:
        return "death";
    case EventType::Chat:
        return "chat";
    case EventType::Value:
        return "value";
    case EventType::List:
        return "list";
    case EventType::RemoveIp:
        return "removeip";
    case EventType::Shutdown:
        return "shutdown";
    case EventType::Refused:
        return "refused";
    }
    return "unknown";
}

std::string LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S ", &local);
    return text;
}

} // namespace

std::string IsoTimeNow() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(millis));
    return text;
}

void EventPrinter::TextLine(std::string_view utf8, COLORREF colour) {
    if (style.timestamps) {
        out += LocalTimeNow();
    }
    // Black is the window's default ink: the terminal's own foreground stands for it, so the
    // text stays readable on a dark background.
    if (style.colour && colour != COLOUR_BLACK) {
        char start[32];
        std::snprintf(start, sizeof start, "\x1b[38;2;%u;%u;%um", RedOf(colour), GreenOf(colour),
                      BlueOf(colour));
        out += start;
        out += utf8;
        out += "\x1b[0m\n";
    } else {
        out += utf8;
        out += '\n';
    }
}

// Quiet keeps the answers to the admin's own requests.
bool EventPrinter::Shown(const ClientEvent& event) const {
    switch (event.type) {
    case EventType::Chat:
        return !style.quiet || event.code == CHAT_KIND_SERVER;
    case EventType::Kick:
    case EventType::List:
    case EventType::RemoveIp:
    case EventType::Shutdown:
    case EventType::Refused:
        return true;
    default:
        return !style.quiet;
    }
}

void EventPrinter::Engine(const ClientEvent& event) {
    if (!Shown(event)) {
        return;
    }
    if (!style.json) {
        // Refusals and failed address removals are message boxes, which go to stderr; values
        // only change the window's player list.
        if (event.type == EventType::List) {
            for (const std::string& entry : event.entries) {
                TextLine(ForTerminal(entry), COLOUR_BLACK);
            }
        } else if (event.type != EventType::Refused && event.type != EventType::RemoveIp &&
                   !event.text.empty()) {
            TextLine(Latin1ToUtf8(event.text), event.colour);
        }
        return;
    }
    JsonObject json;
    json.Add("time", IsoTimeNow())
        .Add("type", TypeName(event.type))
        .Add("text", Latin1ToUtf8(event.text));
    switch (event.type) {
    case EventType::Join:
        json.Add("id", event.id).Add("name", Latin1ToUtf8(event.name));
        break;
    case EventType::Leave:
    case EventType::Kick:
    case EventType::Timeout:
        json.Add("id", event.id).Add("name", Latin1ToUtf8(event.name)).Add("reason", event.code);
        break;
    case EventType::Death:
        json.Add("id", event.id).Add("name", Latin1ToUtf8(event.name));
        if (event.hasOther) {
            json.Add("killer_id", event.otherId).Add("killer", Latin1ToUtf8(event.otherName));
        }
        break;
    case EventType::Chat:
        json.Add("id", event.id)
            .Add("name", Latin1ToUtf8(event.name))
            .Add("kind", event.code)
            .Add("message", Latin1ToUtf8(event.message));
        break;
    case EventType::Value:
        json.Add("id", event.id).Add("name", Latin1ToUtf8(event.name)).Add("value", event.value);
        break;
    case EventType::List: {
        std::vector<std::string> entries;
        for (const std::string& entry : event.entries) {
            entries.push_back(Latin1ToUtf8(entry));
        }
        json.Add("entries", entries);
        break;
    }
    case EventType::RemoveIp:
        json.Add("result", event.code);
        break;
    case EventType::Shutdown:
        json.Add("status", event.code);
        break;
    case EventType::Refused:
        json.Add("code", event.code).Add("reason", Latin1ToUtf8(event.message));
        break;
    }
    out += json.Text();
    out += '\n';
}

void EventPrinter::Own(std::string_view type, std::string_view text, COLORREF colour, bool answer,
                       std::string_view reason) {
    if (style.quiet && !answer) {
        return;
    }
    if (!style.json) {
        TextLine(Latin1ToUtf8(Printable(text)), colour);
        return;
    }
    JsonObject json;
    json.Add("time", IsoTimeNow()).Add("type", type).Add("text", Latin1ToUtf8(text));
    if (!reason.empty()) {
        json.Add("reason", Latin1ToUtf8(reason));
    }
    out += json.Text();
    out += '\n';
}

void EventPrinter::Note(std::string_view text) {
    if (!style.json) {
        out += text;
    }
}

void EventPrinter::Error(std::string_view message) {
    err += "vyr-cli: ";
    err += message;
    err += '\n';
    if (style.json) {
        out +=
            JsonObject().Add("time", IsoTimeNow()).Add("type", "error").Add("text", message).Text();
        out += '\n';
    }
}

void EventPrinter::Box(std::string_view text) {
    err += ForTerminal(text);
    err += '\n';
}

void EventPrinter::Players(const CPlayerList& roster) {
    if (!style.json) {
        char header[64];
        std::snprintf(header, sizeof header, "%4s %6s  %s\n", "ID", "VALUE", "NAME");
        out += header;
    }
    for (int i = 0; i < roster.GetCount(); ++i) {
        const std::string name = roster.NameByPosition(i).value_or(std::string());
        const int id = roster.IdByPosition(i);
        const int value = roster.ValueByPosition(i);
        if (style.json) {
            out += JsonObject()
                       .Add("time", IsoTimeNow())
                       .Add("type", "player")
                       .Add("text", "")
                       .Add("id", id)
                       .Add("name", Latin1ToUtf8(name))
                       .Add("value", value)
                       .Text();
            out += '\n';
        } else {
            char row[32];
            std::snprintf(row, sizeof row, "%4d %6d  ", id, value);
            out += row + ForTerminal(name) + '\n';
        }
    }
}
