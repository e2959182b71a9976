#pragma once
// What Tab may put in place of the word before the cursor, in the window and in vyr-cli alike.
// The client cannot know a server's command set, so a first word starting with '/' completes to
// the commands typed before; one starting with ':' to vyr-cli's own commands; any other word to
// a player's name, whatever the letter case typed.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct Completions {
    std::size_t wordStart = 0;      // in bytes
    std::vector<std::string> words; // sorted, each once; empty when nothing fits
};

// `line` and every list are UTF-8; `cursor` counts bytes.
Completions CompletionsAt(std::string_view line, std::size_t cursor,
                          const std::vector<std::string>& commandsTyped,
                          const std::vector<std::string>& localCommands,
                          const std::vector<std::string>& playerNames);

// The longest start that every word shares, in whole characters.
std::string CommonStart(const std::vector<std::string>& words);
