#include "core/Completion.h"

#include <algorithm>
#include <cstdint>

namespace {

// Latin-1 letters as their lower case (what names carry), so "ann" finds "Ann" and "é" "É".
std::string Folded(std::string_view utf8) {
    std::string out(utf8);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(out[i]);
        if (c >= 'A' && c <= 'Z') {
            out[i] = static_cast<char>(c + 32);
        } else if (c == 0xC3 && i + 1 < out.size()) {
            // U+00C0..U+00DE but the multiplication sign: C3 80..9E becomes C3 A0..BE.
            const auto next = static_cast<std::uint8_t>(out[i + 1]);
            if (next >= 0x80 && next <= 0x9E && next != 0x97) {
                out[i + 1] = static_cast<char>(next + 0x20);
            }
            ++i;
        }
    }
    return out;
}

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

std::string FirstWord(std::string_view command) {
    return std::string(command.substr(0, command.find(' ')));
}

} // namespace

Completions CompletionsAt(std::string_view line, std::size_t cursor,
                          const std::vector<std::string>& commandsTyped,
                          const std::vector<std::string>& localCommands,
                          const std::vector<std::string>& playerNames) {
    Completions found;
    cursor = std::min(cursor, line.size());
    const std::size_t blank = line.substr(0, cursor).rfind(' ');
    found.wordStart = blank == std::string_view::npos ? 0 : blank + 1;
    const std::string_view word = line.substr(found.wordStart, cursor - found.wordStart);
    if (word.empty()) {
        return found;
    }
    const auto take = [&](const std::string& candidate, bool matches) {
        if (matches && candidate != word) {
            found.words.push_back(candidate);
        }
    };
    if (found.wordStart == 0 && word[0] == '/') {
        for (const std::string& command : commandsTyped) {
            const std::string first = FirstWord(command);
            take(first, StartsWith(first, word));
        }
    } else if (found.wordStart == 0 && word[0] == ':') {
        for (const std::string& command : localCommands) {
            take(command, StartsWith(command, word));
        }
    } else {
        const std::string folded = Folded(word);
        for (const std::string& name : playerNames) {
            take(name, StartsWith(Folded(name), folded));
        }
    }
    std::sort(found.words.begin(), found.words.end());
    found.words.erase(std::unique(found.words.begin(), found.words.end()), found.words.end());
    return found;
}

std::string CommonStart(const std::vector<std::string>& words) {
    if (words.empty()) {
        return {};
    }
    std::string common = words[0];
    for (const std::string& word : words) {
        common.resize(static_cast<std::size_t>(
            std::mismatch(common.begin(), common.end(), word.begin(), word.end()).first -
            common.begin()));
    }
    // Never half a UTF-8 character: a last character cut short goes whole.
    std::size_t lead = common.size();
    while (lead > 0 && (static_cast<std::uint8_t>(common[lead - 1]) & 0xC0) == 0x80) {
        --lead;
    }
    if (lead > 0) {
        const auto first = static_cast<std::uint8_t>(common[lead - 1]);
        const std::size_t length = first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4;
        if (common.size() - (lead - 1) < length) {
            common.resize(lead - 1);
        }
    }
    return common;
}
