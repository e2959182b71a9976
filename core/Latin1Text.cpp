#include "core/Latin1Text.h"

#include <cstdint>
#include <cstdio>

namespace {

// U+XXXX as it is shown in a refusal.
std::string CodePointName(std::uint32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
}

bool IsControl(std::uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The next code point of `text` at `i` (advanced past it), or nothing for a malformed sequence.
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

} // namespace

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

ConsoleLine ConsoleLineFromUtf8(std::string_view utf8, std::size_t maxCharacters) {
    ConsoleLine line;
    std::string refused; // the offending characters, each named once per occurrence
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::uint32_t c = 0;
        if (!NextCodePoint(utf8, i, c)) {
            line.problem = "the line is not valid UTF-8 text";
            line.latin1.clear();
            return line;
        }
        if (IsControl(c) || c > 0xFF) {
            if (refused.size() < 80) {
                refused += (refused.empty() ? "" : ", ") + CodePointName(c);
            }
            continue;
        }
        line.latin1 += static_cast<char>(c);
    }
    if (!refused.empty()) {
        line.problem = "the line holds characters the server cannot receive: " + refused;
    } else if (line.latin1.size() > maxCharacters) {
        line.problem = "the line is longer than " + std::to_string(maxCharacters) + " characters";
    }
    if (!line.problem.empty()) {
        line.latin1.clear();
    }
    return line;
}
