#pragma once
// How long a ban lasts, as an admin types it ("2h", "90m", "1d", "1w", "permanent") and as the
// log and the Bans window say it ("2 hours", "permanent").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The longest timed ban: ten years. Longer is what "permanent" is for, and it keeps expiry
// arithmetic far from overflow.
constexpr std::int64_t MAX_BAN_SECONDS = 10LL * 366 * 24 * 3600;

struct BanLength {
    std::optional<std::int64_t> seconds; // none: permanent
};

// A number and a unit (s, m, h, d, w, or their words: "30 minutes", "1 week"), or "permanent".
// Nothing when the text is none of these, zero, or longer than MAX_BAN_SECONDS.
std::optional<BanLength> ParseBanLength(std::string_view text);

// "1 hour", "36 hours", "2 weeks", "permanent": the largest unit that divides it evenly.
std::string BanLengthText(std::optional<std::int64_t> seconds);
