#pragma once
// The rules of one automation file, checked and compiled: what runs when, and what it does.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/automation/LocalClock.h"
#include "core/automation/MessageTemplate.h"

namespace re2 {
class RE2;
}

struct AutomationSettings {
    bool dryRun = false;
    int actionsPerMinute = 20; // what triggers may do in a minute, all rules together
};

enum class ScheduleType { Every, Daily, Countdown };

struct ScheduleRule {
    std::string name;
    bool enabled = true;
    ScheduleType type = ScheduleType::Every;
    int everyMinutes = 0;
    int minPlayers = 0;              // Every: runs only while at least this many are on
    ClockTime at;                    // Daily, Countdown
    std::optional<LocalDate> onDate; // Countdown to one day only; otherwise every day
    std::vector<int> minutesBefore;  // Countdown, largest first
    std::optional<CMessageTemplate> say;
    bool shutdown = false; // Countdown: ask the server to shut down at the time
};

enum class TriggerEvent { Chat, Join };

enum class RuleAction { Say, Warn, Kick, Ban, Note, Attention };

// Chat kinds a trigger listens to, as bits.
constexpr unsigned CHAT_PUBLIC = 1;
constexpr unsigned CHAT_TEAM = 2;
constexpr unsigned CHAT_SERVER = 4; // lines without a sender: no player to act on

struct TriggerRule {
    std::string name;
    bool enabled = true;
    TriggerEvent event = TriggerEvent::Chat;
    std::shared_ptr<const re2::RE2> pattern; // empty: every join
    unsigned kinds = CHAT_PUBLIC | CHAT_TEAM;
    int cooldownSeconds = 30;    // per player
    int ruleCooldownSeconds = 0; // for the rule as a whole
    RuleAction action = RuleAction::Say;
    std::optional<CMessageTemplate> say; // Say, Warn: the line; otherwise said before acting
    int warnings = 0;                    // Warn: offences answered with the warning line
    RuleAction then = RuleAction::Kick;  // Warn: what follows the last warning
    std::optional<CMessageTemplate> thenSay;
    std::optional<CMessageTemplate> reason; // Kick, Ban, Attention
    std::optional<CMessageTemplate> note;   // Note
    int banMinutes = 0;                     // Ban; 0 = for good
};

struct AutomationRules {
    AutomationSettings settings;
    std::vector<ScheduleRule> schedules;
    std::vector<TriggerRule> triggers;
};
