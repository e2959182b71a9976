#pragma once
// Turns the session's events into output: text lines (in the window's colours on a terminal)
// or JSON Lines. Output collects in buffers that the caller writes out once per poll round, so a
// flood of events costs one write per round rather than one per event.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/JsonObject.h"
#include "core/automation/AutomationOutput.h"
#include "engine/ClientEvent.h"
#include "engine/LogEntry.h"

class CPlayerList;
struct BanNotice;
struct BanRow;

class EventPrinter {
  public:
    struct Style {
        bool json = false;
        bool colour = false;
        bool timestamps = false;
        bool quiet = false;
        std::string server; // marks every line with this saved server's name
    };

    explicit EventPrinter(Style style) : style(style) {}

    // A server event, as the engine made it.
    void PrintEvent(const ClientEvent& event);
    // A line of the session itself: "connecting", "connected", "disconnected". An answer is shown
    // even when quiet.
    void PrintSessionLine(std::string_view type, std::string_view text, COLORREF colour,
                          bool answer, std::string_view reason = {});
    // A fixed text of the front end itself, printed as it is (text mode only).
    void Note(std::string_view text);
    // A problem of this run: a line on stderr, and an "error" object in JSON mode.
    void Error(std::string_view message);
    // A message box of the engine: its text on stderr.
    void Box(std::string_view text);
    void Players(const CPlayerList& roster);
    // What automation did or would do, marked as automation's own.
    void PrintAutomation(const AutomationOutput& output);
    // A line of the front end's own (the player memory's answers): `text` as it is, or in JSON
    // mode an object of `type` with `text` and what `fields` adds. A line without a type is
    // for the terminal only.
    void PrintOwn(std::string_view type, std::string_view text,
                  const std::function<void(JsonObject&)>& fields = {});
    // What the ban memory did or could not do (cli/BanPrinting.cpp).
    void PrintBanNotice(const BanNotice& notice);
    // The server's ban list joined with the bans recorded here.
    void PrintBanRows(const std::vector<BanRow>& rows);

    bool Json() const { return style.json; }
    bool Pending() const { return !out.empty() || !err.empty(); }
    std::string TakeOut() { return std::exchange(out, std::string()); }
    std::string TakeErr() { return std::exchange(err, std::string()); }

  private:
    void TextLine(std::string_view utf8, COLORREF colour);
    // A JSON Lines object with the fields every line starts with.
    JsonObject Object(std::string_view type) const;

    Style style;
    std::string out;
    std::string err;
};

// "2026-01-31T12:34:56.789Z": now, in UTC.
std::string IsoTimeNow();
