#include "cli/PlayerQueries.h"

#include "core/WireText.h"
#include "core/players/PlayerTexts.h"
#include "engine/PrintableText.h"
#include "engine/Protocol.h"

namespace {

// What --seen and :seen show of a player's latest doings.
constexpr int SEEN_SESSIONS = 10;
constexpr int SEEN_CHAT = 20;
// What a search shows: the players, and the newest matching lines of each.
constexpr int SEARCH_PLAYERS = 100;
constexpr int SEARCH_LINES_EACH = 5;

std::string ForTerminal(std::string_view raw) {
    return Latin1ToUtf8(Printable(raw));
}

std::string ShownName(const std::string& name) {
    return name.empty() ? "(the server itself)" : ForTerminal(name);
}

std::string Counted(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + ' ' + (n == 1 ? one : many);
}

std::string ServerText(const ServerKey& server) {
    return server.host + ':' + std::to_string(server.port);
}

std::string FirstLine(const std::string& note) {
    const std::size_t end = note.find('\n');
    return end == std::string::npos ? note : note.substr(0, end) + " \u2026";
}

// "last seen 2026-03-04 21:13, 12 sessions, 3 h 20 min played"
std::string Summary(const PlayerRecord& r) {
    std::string text = r.onlineSince ? "online now"
                       : r.lastSeen  ? "last seen " + LocalTimeText(*r.lastSeen)
                                     : "never seen playing";
    text += ", " + Counted(r.sessions, "session", "sessions") + ", " + PlayTimeText(r.playSeconds) +
            " played";
    return text;
}

void AddTime(JsonObject& json, const char* key, const std::optional<std::int64_t>& at) {
    if (at) {
        json.Add(key, UtcTimeText(*at));
    }
}

} // namespace

std::optional<std::string> TypedPlayerName(std::string_view utf8, std::string& problem) {
    const WireText name = TextForWire(utf8, MAX_NAME);
    if (!name.Ok()) {
        problem = name.Describe("the name");
        return std::nullopt;
    }
    return name.latin1;
}

NoteArgument SplitNoteArgument(std::string_view argument) {
    NoteArgument split;
    std::size_t rest = 0;
    if (!argument.empty() && argument.front() == '"' &&
        argument.find('"', 1) != std::string_view::npos) {
        const std::size_t close = argument.find('"', 1);
        split.name = argument.substr(1, close - 1);
        rest = close + 1;
    } else {
        rest = std::min(argument.find(' '), argument.size());
        split.name = argument.substr(0, rest);
    }
    std::string_view text = argument.substr(rest);
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    split.text = text == "\"\"" ? std::string() : std::string(text);
    return split;
}

bool CPlayerQueries::ReportProblems() {
    const std::vector<std::string> problems = store.TakeProblems();
    for (const std::string& problem : problems) {
        printer.Error(problem);
    }
    return !problems.empty();
}

template <typename T> bool CPlayerQueries::Usable(const StoreRead<T>& read) {
    // The store's own words about the file say it better than the read's short error.
    if (!ReportProblems() && !read.Ok()) {
        printer.Error(read.error);
    }
    return read.Ok();
}

void CPlayerQueries::PrintRecord(const ServerKey& server, const PlayerRecord& r,
                                 std::string_view match, std::int64_t lines) {
    const auto fields = [&](JsonObject& json) {
        json.Add("name", Latin1ToUtf8(r.name)).Add("host", server.host).Add("port", server.port);
        if (!match.empty()) {
            json.Add("match", match);
        }
        if (match == "chat") {
            json.Add("lines", lines);
        }
        AddTime(json, "first_seen", r.firstSeen);
        AddTime(json, "last_seen", r.lastSeen);
        AddTime(json, "online_since", r.onlineSince);
        json.Add("sessions", r.sessions)
            .Add("play_seconds", r.playSeconds)
            .Add("kills", r.kills)
            .Add("deaths", r.deaths)
            .Add("suicides", r.suicides);
        if (r.score) {
            json.Add("score", *r.score);
        }
        json.Add("kicks", r.kicks)
            .Add("bans", r.bans)
            .Add("flag", FlagText(r.flag))
            .Add("note", NoteText(r.note, false));
    };
    if (!match.empty()) {
        std::string line = "  " + ShownName(r.name) + "  " + Summary(r);
        if (match == "chat") {
            line += "; " + Counted(lines, "matching line", "matching lines");
        }
        if (!r.note.empty()) {
            line += "; note: " + FirstLine(NoteText(r.note, true));
        }
        printer.PrintOwn("record", line, fields);
        return;
    }
    std::string head = ShownName(r.name) + " on " + ServerText(server);
    if (r.flag != PlayerFlag::None) {
        head += std::string(" [") + FlagText(r.flag) + ']';
    }
    printer.PrintOwn("record", head, fields);
    printer.PrintOwn({}, "  " + Summary(r) +
                             (r.firstSeen ? "; first seen " + LocalTimeText(*r.firstSeen) : ""));
    std::string counts = "  " + Counted(r.kills, "kill", "kills") + ", " +
                         Counted(r.deaths, "death", "deaths") + ", " +
                         Counted(r.suicides, "suicide", "suicides");
    if (r.score) {
        counts += ", last score " + std::to_string(*r.score);
    }
    counts += "; " + Counted(r.kicks, "kick", "kicks") + ", " + Counted(r.bans, "ban", "bans");
    printer.PrintOwn({}, counts);
    std::string note = NoteText(r.note, false);
    for (std::size_t start = 0, line = 0; start < note.size(); ++line) {
        const std::size_t end = std::min(note.find('\n', start), note.size());
        printer.PrintOwn({}, std::string(line == 0 ? "  note: " : "        ") +
                                 NoteText(note.substr(start, end - start), true));
        start = end + 1;
    }
}

CPlayerQueries::Answer CPlayerQueries::Seen(const ServerKey& server, const std::string& name) {
    const auto read = store.Page(server, name, PageQuery{{}, 0, SEEN_CHAT, SEEN_SESSIONS});
    if (!Usable(read)) {
        return Answer::Unreadable;
    }
    if (!read.value) {
        std::string text = "no player called '" + ForTerminal(name) + "' on " + ServerText(server);
        const auto similar = store.SearchNames(server, Latin1ToUtf8(name), 10);
        std::string names;
        for (const PlayerSummary& found : similar.value) {
            if (!found.record.name.empty()) {
                names += (names.empty() ? "" : ", ") + ForTerminal(found.record.name);
            }
        }
        printer.Error(names.empty() ? text : text + "; names holding it: " + names);
        return Answer::NotFound;
    }
    const PlayerPage& page = *read.value;
    PrintRecord(server, page.record, {}, 0);
    const std::string who = Latin1ToUtf8(page.record.name);
    if (!page.sessions.empty()) {
        printer.PrintOwn({}, "  sessions, newest first (" + std::to_string(page.sessions.size()) +
                                 " of " + std::to_string(page.sessionTotal) + "):");
    }
    for (const SessionEntry& s : page.sessions) {
        std::string text = "    " + LocalTimeText(s.joinedAt) + " to " +
                           (s.leftAt ? LocalTimeText(*s.leftAt) : std::string("now")) + "  " +
                           JoinHowText(s.howJoined) + ", " +
                           (s.howLeft ? LeaveHowText(*s.howLeft) : "still playing");
        printer.PrintOwn("session", text, [&](JsonObject& json) {
            json.Add("name", who).Add("joined", UtcTimeText(s.joinedAt));
            json.Add("how_joined", JoinHowText(s.howJoined));
            AddTime(json, "left", s.leftAt);
            if (s.howLeft) {
                json.Add("how_left", LeaveHowText(*s.howLeft));
            }
        });
    }
    if (!page.chat.empty()) {
        printer.PrintOwn({}, "  chat, newest first (" + std::to_string(page.chat.size()) + " of " +
                                 std::to_string(page.chatTotal) + "):");
    }
    for (const ChatEntry& line : page.chat) {
        const std::string kind =
            line.kind == 0 ? std::string() : std::string("(") + ChatKindText(line.kind) + ") ";
        printer.PrintOwn("chat",
                         "    " + LocalTimeText(line.at) + "  " + kind + ForTerminal(line.text),
                         [&](JsonObject& json) {
                             json.Add("name", who)
                                 .Add("at", UtcTimeText(line.at))
                                 .Add("kind", ChatKindText(line.kind))
                                 .Add("message", Latin1ToUtf8(line.text));
                         });
    }
    if (!page.actions.empty()) {
        printer.PrintOwn({}, "  actions, newest first:");
    }
    for (const ActionEntry& action : page.actions) {
        const std::string detail = NoteText(action.detail, true);
        printer.PrintOwn("action",
                         "    " + LocalTimeText(action.at) + "  " + ActionKindText(action.kind) +
                             " by " + NoteText(action.adminUser, true) +
                             (detail.empty() ? "" : ": " + detail),
                         [&](JsonObject& json) {
                             json.Add("name", who)
                                 .Add("at", UtcTimeText(action.at))
                                 .Add("action", ActionKindText(action.kind))
                                 .Add("admin", NoteText(action.adminUser, false))
                                 .Add("detail", NoteText(action.detail, false));
                         });
    }
    return Answer::Found;
}

CPlayerQueries::Answer CPlayerQueries::Search(const ServerKey& server, const std::string& typed) {
    const std::string shown = NoteText(typed, true);
    const auto names = store.SearchNames(server, typed, SEARCH_PLAYERS);
    if (!Usable(names)) {
        return Answer::Unreadable;
    }
    const auto chat = store.SearchChat(server, typed, SEARCH_PLAYERS);
    if (!Usable(chat)) {
        return Answer::Unreadable;
    }
    std::size_t found = 0;
    for (const PlayerSummary& player : names.value) {
        if (player.record.name.empty()) {
            continue; // the server's own lines have no name to match
        }
        if (found++ == 0) {
            printer.PrintOwn({}, "Names holding '" + shown + "' on " + ServerText(server) + ":");
        }
        PrintRecord(server, player.record, "name", 0);
    }
    if (!chat.value.empty()) {
        printer.PrintOwn({}, "Chat lines holding '" + shown + "' on " + ServerText(server) +
                                 ", newest first:");
    }
    for (const PlayerSummary& player : chat.value) {
        ++found;
        PrintRecord(server, player.record, "chat", player.matchingLines);
        const auto page =
            store.Page(server, player.record.name, PageQuery{typed, 0, SEARCH_LINES_EACH, 0});
        if (!page.Ok() || !page.value) {
            continue;
        }
        const std::string who = Latin1ToUtf8(player.record.name);
        for (const ChatEntry& line : page.value->chat) {
            printer.PrintOwn("chat",
                             "    " + LocalTimeText(line.at) + "  " + ForTerminal(line.text),
                             [&](JsonObject& json) {
                                 json.Add("name", who)
                                     .Add("at", UtcTimeText(line.at))
                                     .Add("kind", ChatKindText(line.kind))
                                     .Add("message", Latin1ToUtf8(line.text));
                             });
        }
        if (page.value->chatTotal > static_cast<std::int64_t>(page.value->chat.size())) {
            printer.PrintOwn(
                {}, "    \u2026 " +
                        std::to_string(page.value->chatTotal -
                                       static_cast<std::int64_t>(page.value->chat.size())) +
                        " more");
        }
    }
    if (found == 0) {
        printer.Error("nothing on " + ServerText(server) + " holds '" + shown + "'");
        return Answer::NotFound;
    }
    return Answer::Found;
}

CPlayerQueries::Answer CPlayerQueries::SetNote(const ServerKey& server, const std::string& name,
                                               const std::string& note,
                                               const std::string& adminUser) {
    // The note goes in while the file is still opening too; only then is the old one unknown.
    const bool opening = store.State() == StoreState::Opening;
    const auto before =
        opening ? StoreRead<std::optional<PlayerRecord>>{} : store.Record(server, name);
    if (!Usable(before)) {
        return Answer::Unreadable;
    }
    if (store.State() == StoreState::Paused) {
        printer.Error("the note was not saved: after a failed write the player memory records "
                      "nothing until the next connection");
        return Answer::Unreadable;
    }
    store.SetNote(server, name, note, adminUser);
    const std::string was = before.value ? NoteText(before.value->note, true) : std::string();
    const std::string text = (note.empty() ? "note on " + ForTerminal(name) + " removed"
                                           : "note on " + ForTerminal(name) + " set") +
                             (was.empty() ? "" : " (it was: " + was + ")");
    printer.PrintOwn("note", text, [&](JsonObject& json) {
        json.Add("name", Latin1ToUtf8(name)).Add("note", note);
        if (!opening) {
            json.Add("previous", before.value ? NoteText(before.value->note, false) : "");
        }
    });
    return Answer::Found;
}
