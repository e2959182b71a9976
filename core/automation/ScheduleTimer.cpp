#include "core/automation/ScheduleTimer.h"

namespace {

using std::chrono::hours;
using std::chrono::minutes;

// No daily time is further ahead than this, unless the clock went back.
constexpr hours DAILY_HORIZON{49};

} // namespace

CScheduleTimer::CScheduleTimer(const ScheduleRule& rule)
    : type(rule.type), period(rule.everyMinutes), at(rule.at), onDate(rule.onDate) {
    for (const int m : rule.minutesBefore) {
        steps.push_back({m, true, false});
    }
    if (rule.shutdown) {
        if (!steps.empty() && steps.back().minutesBefore == 0) {
            steps.back().shutdown = true;
        } else {
            steps.push_back({0, false, true});
        }
    }
}

void CScheduleTimer::Arm(WallTime now) {
    const LocalDate* skip = lastDate ? &*lastDate : nullptr;
    switch (type) {
    case ScheduleType::Every:
        nextRepeat = now + period;
        return;
    case ScheduleType::Daily:
        next = NextDailyOccurrence(now, at, skip);
        return;
    case ScheduleType::Countdown:
        if (!onDate) {
            next = NextDailyOccurrence(now, at, skip);
        } else if (lastDate != onDate) {
            next = DailyOccurrence{*onDate, FirstOccurrence(*onDate, at)};
        } else {
            next.reset();
        }
        // Steps already past are left out: a countdown joined late starts where it stands.
        for (step = 0; next && step < steps.size() && StepTime(step) < now; ++step) {
        }
        if (step == steps.size()) {
            next.reset();
        }
        return;
    }
}

std::optional<WallTime> CScheduleTimer::Next() const {
    switch (type) {
    case ScheduleType::Every:
        return nextRepeat;
    case ScheduleType::Daily:
        return next ? std::optional<WallTime>(next->at) : std::nullopt;
    case ScheduleType::Countdown:
        return next ? std::optional<WallTime>(StepTime(step)) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<ScheduleRun> CScheduleTimer::Take(WallTime now) {
    switch (type) {
    case ScheduleType::Every:
        return TakeRepeat(now);
    case ScheduleType::Daily:
        return TakeDaily(now);
    case ScheduleType::Countdown:
        return TakeCountdown(now);
    }
    return std::nullopt;
}

WallTime CScheduleTimer::StepTime(std::size_t index) const {
    return next->at - minutes(steps[index].minutesBefore);
}

std::optional<ScheduleRun> CScheduleTimer::TakeRepeat(WallTime now) {
    if (!nextRepeat || *nextRepeat - now > period) {
        nextRepeat = now + period; // the clock went back: keep the interval, from now
    }
    if (now < *nextRepeat) {
        return std::nullopt;
    }
    ScheduleRun run;
    run.due = *nextRepeat;
    run.say = true;
    // On time, the next run keeps to the beat; after a jump it starts again from now, so the
    // runs missed in between are not made up.
    *nextRepeat += period;
    if (*nextRepeat <= now) {
        nextRepeat = now + period;
    }
    return run;
}

std::optional<ScheduleRun> CScheduleTimer::TakeDaily(WallTime now) {
    if (!next || next->at - now > DAILY_HORIZON) {
        Arm(now);
    }
    if (now < next->at) {
        return std::nullopt;
    }
    ScheduleRun run;
    run.due = next->at;
    run.late = now - next->at > LATE_LIMIT;
    run.say = true;
    lastDate = next->date;
    next = NextDailyOccurrence(now, at, &*lastDate);
    return run;
}

std::optional<ScheduleRun> CScheduleTimer::TakeCountdown(WallTime now) {
    if (next && !onDate && next->at - now > DAILY_HORIZON) {
        Arm(now);
    }
    if (!next || now < StepTime(step)) {
        return std::nullopt;
    }
    std::size_t due = step;
    while (due + 1 < steps.size() && StepTime(due + 1) <= now) {
        ++due;
    }
    ScheduleRun run;
    run.due = StepTime(due);
    run.late = now - run.due > LATE_LIMIT;
    run.say = steps[due].say;
    run.shutdown = steps[due].shutdown;
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(next->at - now).count();
    run.minutesLeft = left <= 0 ? 0 : static_cast<int>((left + 59) / 60);
    step = due + 1;
    if (step == steps.size()) {
        lastDate = next->date;
        Arm(now);
    }
    return run;
}
