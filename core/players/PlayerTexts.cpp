#include "core/players/PlayerTexts.h"

#include <ctime>

#include "engine/PrintableText.h"
#include "engine/Protocol.h"

namespace {

std::string TimeText(std::int64_t unixSeconds, bool local, const char* format) {
    const auto at = static_cast<std::time_t>(unixSeconds);
    std::tm parts{};
    if ((local ? localtime_r(&at, &parts) : gmtime_r(&at, &parts)) == nullptr) {
        return "?";
    }
    char text[64];
    return std::strftime(text, sizeof text, format, &parts) > 0 ? text : "?";
}

// The length of the UTF-8 sequence at the start of `text`, 0 when it is not one.
std::size_t SequenceLength(std::string_view text, char32_t& codePoint) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return 0;
        }
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < lowest || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

} // namespace

std::string NoteText(std::string_view note, bool escapeControls) {
    std::string out;
    out.reserve(note.size());
    while (!note.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = SequenceLength(note, codePoint);
        if (length == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            note.remove_prefix(1);
            continue;
        }
        if (escapeControls && IsControlCharacter(codePoint)) {
            // Control characters end below U+00A0: one Latin-1 byte each.
            out += Printable(std::string(1, static_cast<char>(codePoint)));
        } else {
            out.append(note.data(), length);
        }
        note.remove_prefix(length);
    }
    return out;
}

std::string PlayTimeText(std::int64_t seconds) {
    const std::int64_t minutes = seconds / 60;
    if (minutes < 1) {
        return "under a minute";
    }
    if (minutes < 60) {
        return std::to_string(minutes) + " min";
    }
    const std::int64_t hours = minutes / 60;
    // Past four days the minutes say nothing more.
    if (hours >= 100) {
        return std::to_string(hours) + " h";
    }
    return std::to_string(hours) + " h " + std::to_string(minutes % 60) + " min";
}

std::string SeenText(const PlayerRecord& record) {
    if (record.sessions <= 1) {
        return "new";
    }
    // Short, so that the names keep the table's width: whole hours past the first.
    const std::int64_t minutes = record.playSeconds / 60;
    const std::string played = minutes < 1    ? "<1 min"
                               : minutes < 60 ? std::to_string(minutes) + " min"
                                              : std::to_string(minutes / 60) + " h";
    return std::to_string(record.sessions) + "\u00d7 " + played;
}

std::string LocalTimeText(std::int64_t unixSeconds) {
    return TimeText(unixSeconds, true, "%Y-%m-%d %H:%M");
}

std::string UtcTimeText(std::int64_t unixSeconds) {
    return TimeText(unixSeconds, false, "%Y-%m-%dT%H:%M:%SZ");
}

const char* JoinHowText(JoinHow how) {
    return how == JoinHow::PresentAtLogin ? "present at login" : "joined";
}

const char* LeaveHowText(LeaveHow how) {
    switch (how) {
    case LeaveHow::Left:
        return "left";
    case LeaveHow::TimedOut:
        return "timed out";
    case LeaveHow::Kicked:
        return "kicked";
    case LeaveHow::Banned:
        return "banned";
    case LeaveHow::ConnectionEnded:
        return "admin disconnected";
    case LeaveHow::RecordingLost:
        return "recording cut off";
    }
    return "left";
}

const char* ActionKindText(ActionKind kind) {
    switch (kind) {
    case ActionKind::Kick:
        return "kick";
    case ActionKind::Ban:
        return "ban";
    case ActionKind::Unban:
        return "unban";
    case ActionKind::Note:
        return "note";
    }
    return "note";
}

const char* FlagText(PlayerFlag flag) {
    switch (flag) {
    case PlayerFlag::Watch:
        return "watch";
    case PlayerFlag::Trusted:
        return "trusted";
    case PlayerFlag::None:
        break;
    }
    return "none";
}

const char* ChatKindText(int kind) {
    switch (kind) {
    case CHAT_KIND_TEAM:
        return "team";
    case CHAT_KIND_SERVER:
        return "server";
    default:
        return "public";
    }
}
