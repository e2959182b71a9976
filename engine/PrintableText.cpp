#include "engine/PrintableText.h"

std::string Printable(std::string_view raw) {
    static constexpr char HEX[] = "0123456789abcdef";
    std::string out;
    out.reserve(raw.size());
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (!IsControlCharacter(c)) {
            out += ch;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += "\\x";
            out += HEX[c >> 4];
            out += HEX[c & 0xF];
        }
    }
    return out;
}
