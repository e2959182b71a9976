#include "cli/EventPrinter.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "cli/JsonObject.h"
#include "core/CoreTexts.h"
#include "core/WireText.h"
#include "engine/PlayerList.h"
#include "engine/PrintableText.h"
#include "engine/Protocol.h"

namespace {

constexpr char LIST_INDENT[] = "  ";

// Server text for the terminal: escaped controls, then UTF-8.
std::string ForTerminal(std::string_view raw) {
    return Latin1ToUtf8(Printable(raw));
}

// The "type" of an event's JSON object.
struct TypeName {
    const char* operator()(const event::PlayerJoined&) const { return "join"; }
    const char* operator()(const event::PlayerLeft& left) const {
        switch (left.how) {
        case event::Departure::Kicked:
            return "kick";
        case event::Departure::TimedOut:
            return "timeout";
        case event::Departure::Left:
            break;
        }
        return "leave";
    }
    const char* operator()(const event::PlayerDied&) const { return "death"; }
    const char* operator()(const event::Chat&) const { return "chat"; }
    const char* operator()(const event::ScoreChanged&) const { return "value"; }
    const char* operator()(const event::ServerList&) const { return "list"; }
    const char* operator()(const event::RemoveIpResult&) const { return "removeip"; }
    const char* operator()(const event::ShutdownAnswer&) const { return "shutdown"; }
    const char* operator()(const event::Refused&) const { return "refused"; }
};

// Quiet keeps the answers to the admin's own requests.
struct ShownWhenQuiet {
    bool operator()(const event::PlayerLeft& left) const {
        return left.how == event::Departure::Kicked;
    }
    bool operator()(const event::Chat& chat) const { return !chat.sender.has_value(); }
    bool operator()(const event::ServerList&) const { return true; }
    bool operator()(const event::RemoveIpResult&) const { return true; }
    bool operator()(const event::ShutdownAnswer&) const { return true; }
    bool operator()(const event::Refused&) const { return true; }
    template <class Other> bool operator()(const Other&) const { return false; }
};

// The fields of an event's JSON object beyond time, type and text.
struct JsonFields {
    JsonObject& json;
    void Player(const event::Player& player) const {
        json.Add("id", player.id).Add("name", Latin1ToUtf8(player.name));
    }
    void operator()(const event::PlayerJoined& joined) const { Player(joined.player); }
    void operator()(const event::PlayerLeft& left) const {
        Player(left.player);
        json.Add("reason", left.reason);
    }
    void operator()(const event::PlayerDied& died) const {
        Player(died.victim);
        if (died.killer) {
            json.Add("killer_id", died.killer->id).Add("killer", Latin1ToUtf8(died.killer->name));
        }
    }
    void operator()(const event::Chat& chat) const {
        Player(chat.sender.value_or(event::Player{}));
        json.Add("kind", chat.kind).Add("message", Latin1ToUtf8(chat.text));
    }
    void operator()(const event::ScoreChanged& score) const {
        Player(score.player);
        json.Add("value", score.value);
    }
    void operator()(const event::ServerList& list) const {
        std::vector<std::string> entries;
        for (const std::string& entry : list.entries) {
            entries.push_back(Latin1ToUtf8(entry));
        }
        json.Add("entries", entries);
    }
    void operator()(const event::RemoveIpResult& answer) const {
        json.Add("result", answer.result);
    }
    void operator()(const event::ShutdownAnswer& answer) const {
        json.Add("status", static_cast<int>(answer.status));
    }
    void operator()(const event::Refused& refused) const {
        json.Add("code", refused.code).Add("reason", Latin1ToUtf8(refused.reason));
    }
};

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

JsonObject EventPrinter::Object(std::string_view type) const {
    JsonObject json;
    json.Add("time", IsoTimeNow());
    if (!style.server.empty()) {
        json.Add("server", style.server);
    }
    json.Add("type", type);
    return json;
}

void EventPrinter::PrintAutomation(const AutomationOutput& output) {
    if (!style.json) {
        TextLine(std::string(AUTOMATION_MARK) + output.log, COLOUR_AUTOMATION);
        return;
    }
    JsonObject json = Object("automation");
    json.Add("action", AutomationOutputTypeName(output.type))
        .Add("rule", output.rule)
        .Add("text", output.log);
    if (output.hasPlayer) {
        json.Add("id", output.playerId).Add("name", Latin1ToUtf8(output.playerName));
    }
    if (output.type == AutomationOutputType::Ban) {
        json.Add("minutes", output.banMinutes);
    }
    out += json.Text();
    out += '\n';
}

void EventPrinter::PrintOwn(std::string_view type, std::string_view text,
                            const std::function<void(JsonObject&)>& fields) {
    if (!style.json) {
        TextLine(text, COLOUR_BLACK);
        return;
    }
    if (type.empty()) {
        return;
    }
    JsonObject json = Object(type);
    json.Add("text", text);
    if (fields) {
        fields(json);
    }
    out += json.Text();
    out += '\n';
}

void EventPrinter::TextLine(std::string_view utf8, COLORREF colour) {
    if (style.timestamps) {
        out += LocalTimeNow();
    }
    if (!style.server.empty()) {
        out += '[' + style.server + "] ";
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

void EventPrinter::PrintEvent(const ClientEvent& event) {
    if (style.quiet && !std::visit(ShownWhenQuiet{}, event.what)) {
        return;
    }
    if (!style.json) {
        // Refusals and failed address removals are message boxes, which go to stderr; scores
        // only change the window's player list.
        if (const auto* list = std::get_if<event::ServerList>(&event.what)) {
            // Indented: no line of the tool's own starts with a blank, so no entry can pass
            // for one ("Disconnected: ...").
            for (const std::string& entry : list->entries) {
                TextLine(LIST_INDENT + ForTerminal(entry), COLOUR_BLACK);
            }
        } else if (!std::holds_alternative<event::Refused>(event.what) &&
                   !std::holds_alternative<event::RemoveIpResult>(event.what) &&
                   !event.log.text.empty()) {
            TextLine(Latin1ToUtf8(event.log.text), event.log.colour);
        }
        return;
    }
    JsonObject json = Object(std::visit(TypeName{}, event.what));
    json.Add("text", Latin1ToUtf8(event.log.text));
    std::visit(JsonFields{json}, event.what);
    out += json.Text();
    out += '\n';
}

void EventPrinter::PrintSessionLine(std::string_view type, std::string_view text, COLORREF colour,
                                    bool answer, std::string_view reason) {
    if (style.quiet && !answer) {
        return;
    }
    if (!style.json) {
        TextLine(Latin1ToUtf8(Printable(text)), colour);
        return;
    }
    JsonObject json = Object(type);
    json.Add("text", Latin1ToUtf8(text));
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
        out += Object("error").Add("text", message).Text();
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
            out += Object("player")
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
