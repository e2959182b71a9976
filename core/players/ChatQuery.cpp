#include "core/players/ChatQuery.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

std::string ChatMatchQuery(std::string_view typed) {
    std::string query;
    std::size_t i = 0;
    while (i < typed.size()) {
        while (i < typed.size() && IsSpace(typed[i])) {
            ++i;
        }
        const std::size_t start = i;
        while (i < typed.size() && !IsSpace(typed[i])) {
            ++i;
        }
        std::string_view word = typed.substr(start, i - start);
        const bool prefix = word.size() > 1 && word.back() == '*';
        if (prefix) {
            word.remove_suffix(1);
        }
        if (word.empty()) {
            continue;
        }
        query += query.empty() ? "\"" : " \"";
        for (const char c : word) {
            query += c;
            if (c == '"') {
                query += '"';
            }
        }
        query += prefix ? "\"*" : "\"";
    }
    return query;
}
