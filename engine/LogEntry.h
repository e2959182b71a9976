#pragma once
// One text for the status log and its colour (0x00BBGGRR), and the six colours the log uses.

#include <cstdint>
#include <string>

using COLORREF = std::uint32_t; // 0x00BBGGRR

constexpr COLORREF COLOUR_BLACK = 0;
constexpr COLORREF COLOUR_DARK_RED = 102;
constexpr COLORREF COLOUR_RED = 153;
constexpr COLORREF COLOUR_BROWN = 14410;
constexpr COLORREF COLOUR_GREEN = 3368448;
constexpr COLORREF COLOUR_BLUE = 10040064;

constexpr std::uint8_t RedOf(COLORREF c) {
    return c & 0xFF;
}
constexpr std::uint8_t GreenOf(COLORREF c) {
    return (c >> 8) & 0xFF;
}
constexpr std::uint8_t BlueOf(COLORREF c) {
    return (c >> 16) & 0xFF;
}

// One text for the status log, in its own colour.
struct LogEntry {
    std::string text;
    COLORREF colour = COLOUR_BLACK;
    bool operator==(const LogEntry& o) const { return text == o.text && colour == o.colour; }
};
