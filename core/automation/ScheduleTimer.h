#pragma once
// When a schedule runs: at most once however far the clock jumps ahead, never again early when it
// goes back, and at local times that follow daylight-saving changes.

#include <chrono>
#include <optional>
#include <vector>

#include "core/automation/AutomationRules.h"
#include "core/automation/LocalClock.h"

// A daily time or countdown step found more than this late (the machine slept, the clock was
// set) is skipped: "restart in 5 minutes" an hour late would be wrong. A repeat runs once late.
constexpr std::chrono::minutes LATE_LIMIT{5};

struct ScheduleRun {
    WallTime due;
    bool late = false;     // skipped for LATE_LIMIT
    bool say = false;      // the rule's line is said
    bool shutdown = false; // the countdown's time has come and it asks for a shutdown
    int minutesLeft = 0;   // countdown: whole minutes left to its time, rounded up
};

class CScheduleTimer {
  public:
    explicit CScheduleTimer(const ScheduleRule& rule);

    // Sets the next run to the first one from `now` on.
    void Arm(WallTime now);
    std::optional<WallTime> Next() const;
    // The run due at `now`, if any, and the next one set. Of several due (after a jump) only the
    // last is returned.
    std::optional<ScheduleRun> Take(WallTime now);

  private:
    struct Step {
        int minutesBefore;
        bool say;
        bool shutdown;
    };
    WallTime StepTime(std::size_t step) const;
    std::optional<ScheduleRun> TakeRepeat(WallTime now);
    std::optional<ScheduleRun> TakeDaily(WallTime now);
    std::optional<ScheduleRun> TakeCountdown(WallTime now);

    ScheduleType type;
    std::chrono::minutes period{0};
    ClockTime at;
    std::optional<LocalDate> onDate;
    std::vector<Step> steps; // countdown, in order

    std::optional<DailyOccurrence> next; // daily: the next run; countdown: its time
    std::optional<WallTime> nextRepeat;
    std::size_t step = 0;              // countdown: the next step
    std::optional<LocalDate> lastDate; // daily and countdown: the day last run
};
