#include "core/bans/BanDuration.h"

#include <cctype>
#include <charconv>

namespace {

struct Unit {
    std::string_view singular;
    std::string_view plural;
    std::string_view letter;
    std::int64_t seconds;
};

// Largest first, so BanLengthText finds the largest unit that fits.
constexpr Unit UNITS[] = {
    {"week", "weeks", "w", 7 * 24 * 3600}, {"day", "days", "d", 24 * 3600},
    {"hour", "hours", "h", 3600},          {"minute", "minutes", "m", 60},
    {"second", "seconds", "s", 1},
};

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::optional<std::int64_t> UnitSeconds(std::string_view word) {
    for (const Unit& unit : UNITS) {
        if (word == unit.letter || word == unit.singular || word == unit.plural ||
            (unit.letter == "m" && word == "min") || (unit.letter == "h" && word == "hr")) {
            return unit.seconds;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<BanLength> ParseBanLength(std::string_view text) {
    const std::string lower = Lower(text);
    if (lower == "permanent" || lower == "perm") {
        return BanLength{};
    }
    std::int64_t count = 0;
    const char* begin = lower.data();
    const char* end = begin + lower.size();
    const auto [stop, error] = std::from_chars(begin, end, count);
    if (stop == begin || error != std::errc() || count <= 0) {
        return std::nullopt;
    }
    std::string_view unit(stop, static_cast<std::size_t>(end - stop));
    if (!unit.empty() && unit.front() == ' ') {
        unit.remove_prefix(1);
    }
    const std::optional<std::int64_t> perUnit = UnitSeconds(unit);
    if (!perUnit || count > MAX_BAN_SECONDS / *perUnit) {
        return std::nullopt;
    }
    return BanLength{count * *perUnit};
}

std::string BanLengthText(std::optional<std::int64_t> seconds) {
    if (!seconds) {
        return "permanent";
    }
    for (const Unit& unit : UNITS) {
        if (*seconds >= unit.seconds && *seconds % unit.seconds == 0) {
            const std::int64_t count = *seconds / unit.seconds;
            return std::to_string(count) + " " +
                   std::string(count == 1 ? unit.singular : unit.plural);
        }
    }
    return std::to_string(*seconds) + " seconds";
}
