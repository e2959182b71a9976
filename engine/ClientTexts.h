#pragma once
// Every text the client itself shows or records: refusals, shutdown statuses, departures.

#include <cstdint>
#include <optional>
#include <string_view>

namespace texts {

constexpr std::string_view TIMED_OUT = "Connection timed out.";
constexpr std::string_view REMOVE_IP_FAILED = "IP could not be removed.";

// What a refusal code shows: the message box text (empty = no box) and the reason recorded.
struct Refusal {
    std::string_view box;
    std::string_view reason;
};
Refusal RefusalFor(std::uint8_t code);

// The log line of a shutdown status, or nothing outside 1..4.
std::optional<std::string_view> KillServerText(std::int8_t status);

// What follows the player's name when a player leaves for `reason`.
std::string_view LeaveText(std::uint8_t reason);

} // namespace texts
