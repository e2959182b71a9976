#include "cli/JsonObject.h"

#include <cstdio>

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += ch;
        }
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
