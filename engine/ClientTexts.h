#pragma once
// Every text the client itself shows or records: refusals, shutdown answers, and the log line of
// each server event. Names and chat passed in are already printable.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/Protocol.h"

namespace texts {

constexpr std::string_view TIMED_OUT = "Connection timed out.";
constexpr std::string_view REMOVE_IP_FAILED = "IP could not be removed.";
constexpr std::string_view REMOVE_IP_DONE = "IP removed.";

// What a refusal code shows: the message box text (empty = no box) and the reason recorded.
struct Refusal {
    std::string_view box;
    std::string_view reason;
};
Refusal RefusalFor(std::uint8_t code);

// The log line of a shutdown answer; statuses outside the named ones get a line of their own.
std::string ShutdownText(ShutdownStatus status);

// What a log line shows for a player that the roster does not know.
std::string UnknownPlayer(std::uint8_t id);

std::string JoinText(std::string_view name);
std::string LeaveText(std::string_view name, std::uint8_t reason);
// `killer` none: the victim died; equal to the victim's own name with `self`: a suicide.
std::string DeathText(std::string_view victim, const std::optional<std::string>& killer, bool self);
// Server text (no sender) or a player's line.
std::string ChatText(const std::optional<std::string>& sender, std::string_view text);

} // namespace texts
