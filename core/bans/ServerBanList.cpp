#include "core/bans/ServerBanList.h"

#include <algorithm>
#include <set>

#include "engine/Protocol.h"

namespace {

// "255.255.255.255|": the longest entry a full list could have left out.
constexpr std::size_t LONGEST_ADDRESS_ENTRY = 16;

} // namespace

bool IsDottedIpv4(std::string_view text) {
    int parts = 0;
    std::size_t start = 0;
    while (parts < 4) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part = text.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        const bool digits =
            !part.empty() && part.size() <= 3 &&
            std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!digits || (part.size() > 1 && part[0] == '0') || std::stoi(std::string(part)) > 255) {
            return false;
        }
        ++parts;
        if (dot == std::string_view::npos) {
            break;
        }
        start = dot + 1;
    }
    return parts == 4 && text.find('.', start) == std::string_view::npos &&
           std::count(text.begin(), text.end(), '.') == 3;
}

std::vector<std::string> NewEntries(const std::vector<std::string>& before,
                                    const std::vector<std::string>& after) {
    std::set<std::string> seen(before.begin(), before.end());
    std::vector<std::string> added;
    for (const std::string& entry : after) {
        if (seen.insert(entry).second) {
            added.push_back(entry);
        }
    }
    return added;
}

bool ListMayBeCut(const std::vector<std::string>& entries) {
    std::size_t length = 0;
    for (const std::string& entry : entries) {
        length += entry.size() + 1;
    }
    return length + LONGEST_ADDRESS_ENTRY > MAX_LIST_TEXT;
}
