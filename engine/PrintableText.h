#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The control characters no text of the program carries as they are: C0, DEL and the C1 range.
constexpr bool IsControlCharacter(std::uint32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

// `raw` with every control character (C0, DEL and the C1 range of Latin-1) written as an escape
// (\n, \r, \t, \xNN), so that text from the server can never break, forge or steer a line.
std::string Printable(std::string_view raw);
