#pragma once
// The wire carries single-byte Latin-1 text; the terminal, files and JSON speak UTF-8.

#include <string>
#include <string_view>

// Every byte as the Latin-1 character it stands for, in UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);

struct ConsoleLine {
    std::string latin1; // what goes on the wire; valid only when `problem` is empty
    std::string problem;
};

// A line typed or piped by the user, made ready for the wire. Refused (with `problem` saying
// why) when it is not UTF-8, holds control characters or characters Latin-1 cannot carry, or is
// longer than `maxCharacters`.
ConsoleLine ConsoleLineFromUtf8(std::string_view utf8, std::size_t maxCharacters);
