#pragma once
// What the user typed into a chat search, as a full-text query: every word must occur; a word
// ending in "*" matches as a prefix. Quoting each word keeps FTS5's operators and punctuation
// from ever reading as query syntax, so no input can make the search fail.

#include <string>
#include <string_view>

// Empty when the text holds no word.
std::string ChatMatchQuery(std::string_view typed);
