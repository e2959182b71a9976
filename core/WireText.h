#pragma once
// The wire carries single-byte Latin-1 text; the terminal, the window, files and JSON speak
// UTF-8. Every text a front end sends passes one rule here: valid UTF-8, no control characters,
// only what Latin-1 can carry, and not longer than its field.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The longest console line, in characters.
constexpr std::size_t MAX_CONSOLE_LINE = 128;

// Every byte as the Latin-1 character it stands for, in UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

// Text made ready for the wire.
struct WireText {
    enum class Problem { None, NotUtf8, Unsendable, TooLong };
    Problem problem = Problem::None;
    std::string latin1;            // what goes on the wire; empty unless problem is None
    std::vector<char32_t> refused; // with Unsendable: each refused character once, in order
    std::size_t maxCharacters = 0;

    bool Ok() const { return problem == Problem::None; }
    // Why the text cannot be sent, in words (empty when it can): "<subject> holds ...".
    std::string Describe(std::string_view subject = "the line") const;
};

WireText TextForWire(std::string_view utf8, std::size_t maxCharacters);

// A console line from any source (typed, piped, given as an option): blanks at its start are
// dropped, blanks at its end are part of it. Nothing when the line is blank.
std::optional<WireText> ConsoleLineForWire(std::string_view utf8);

// "U+0416".
std::string CodePointName(char32_t c);
