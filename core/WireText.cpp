#include "core/WireText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "engine/PrintableText.h"

namespace {

// The next code point of `text` at `i` (advanced past it), or false for a malformed sequence.
bool NextCodePoint(std::string_view text, std::size_t& i, std::uint32_t& c) {
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
    const std::uint8_t lead = byte(i);
    int extra = 0;
    if (lead < 0x80) {
        c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        c = lead & 0x1F;
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        c = lead & 0x0F;
        extra = 2;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        c = lead & 0x07;
        extra = 3;
    } else {
        return false;
    }
    if (text.size() - i <= static_cast<std::size_t>(extra)) {
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return false;
        }
        c = (c << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static constexpr std::uint32_t LOWEST[] = {0, 0x80, 0x800, 0x10000};
    if (c < LOWEST[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        return false;
    }
    i += static_cast<std::size_t>(extra) + 1;
    return true;
}

// C's isspace set: what a console line loses at its start.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

std::string CodePointName(char32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
}

std::string Latin1ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto c = static_cast<std::uint8_t>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

WireText TextForWire(std::string_view utf8, std::size_t maxCharacters) {
    WireText text;
    text.maxCharacters = maxCharacters;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::uint32_t c = 0;
        if (!NextCodePoint(utf8, i, c)) {
            return {WireText::Problem::NotUtf8, {}, {}, maxCharacters};
        }
        if (IsControlCharacter(c) || c > 0xFF) {
            if (std::find(text.refused.begin(), text.refused.end(), c) == text.refused.end()) {
                text.refused.push_back(c);
            }
            continue;
        }
        text.latin1 += static_cast<char>(c);
    }
    if (!text.refused.empty()) {
        text.problem = WireText::Problem::Unsendable;
    } else if (text.latin1.size() > maxCharacters) {
        text.problem = WireText::Problem::TooLong;
    }
    if (!text.Ok()) {
        text.latin1.clear();
    }
    return text;
}

std::optional<WireText> ConsoleLineForWire(std::string_view utf8) {
    while (!utf8.empty() && IsBlank(utf8.front())) {
        utf8.remove_prefix(1);
    }
    if (utf8.empty()) {
        return std::nullopt;
    }
    return TextForWire(utf8, MAX_CONSOLE_LINE);
}

std::string WireText::Describe(std::string_view subject) const {
    const std::string is(subject);
    switch (problem) {
    case Problem::None:
        return {};
    case Problem::NotUtf8:
        return is + " is not valid UTF-8 text";
    case Problem::TooLong:
        return is + " is longer than " + std::to_string(maxCharacters) + " characters";
    case Problem::Unsendable:
        break;
    }
    std::string names;
    for (const char32_t c : refused) {
        names += (names.empty() ? "" : ", ") + CodePointName(c);
    }
    return is + " holds characters the server cannot receive: " + names;
}
