#include "cli/JsonObject.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr char REPLACEMENT_CHARACTER[] = "\xEF\xBF\xBD"; // U+FFFD

// The length of the well-formed UTF-8 character at `text[i]`, 0 when none starts there.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(text[at]); };
    const std::uint8_t lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    // The second byte's range rules out overlong forms, surrogates and values past U+10FFFF.
    std::uint8_t low = 0x80, high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

void AppendEscape(std::string& out, unsigned codePoint) {
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", codePoint);
    out += escape;
}

} // namespace

// Valid JSON and valid UTF-8 whatever `text` holds: a byte that is no part of a UTF-8 character
// becomes U+FFFD, and every control character (C0, DEL and C1, which a terminal would obey) is
// written as an escape.
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = Utf8Length(text, i);
        const auto c = static_cast<std::uint8_t>(text[i]);
        if (length == 0) {
            out += REPLACEMENT_CHARACTER;
            i += 1;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += text[i];
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, c);
        } else if (c == 0xC2 && static_cast<std::uint8_t>(text[i + 1]) <= 0x9F) {
            AppendEscape(out, static_cast<std::uint8_t>(text[i + 1])); // C1: U+0080 to U+009F
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

void JsonObject::Key(std::string_view key) {
    if (body.size() > 1) {
        body += ',';
    }
    body += JsonString(key);
    body += ':';
}

JsonObject& JsonObject::Add(std::string_view key, std::string_view value) {
    Key(key);
    body += JsonString(value);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, long long value) {
    Key(key);
    body += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::Add(std::string_view key, const std::vector<std::string>& values) {
    Key(key);
    body += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        body += (i > 0 ? "," : "") + JsonString(values[i]);
    }
    body += ']';
    return *this;
}
