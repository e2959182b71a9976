#include "cli/DeadlineTimers.h"

#include <algorithm>

void DeadlineTimers::Set(unsigned id, int periodMs, Clock::time_point now) {
    const std::chrono::milliseconds period(std::max(periodMs, 1));
    timers[id] = Timer{period, now + period};
}

int DeadlineTimers::MsUntilNext(Clock::time_point now) const {
    if (timers.empty()) {
        return -1;
    }
    Clock::time_point earliest = Clock::time_point::max();
    for (const auto& entry : timers) {
        earliest = std::min(earliest, entry.second.due);
    }
    if (earliest <= now) {
        return 0;
    }
    // Rounded up, so the loop never wakes just before the tick and spins.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(earliest - now);
    return static_cast<int>(left.count());
}

std::vector<unsigned> DeadlineTimers::TakeDue(Clock::time_point now) {
    std::vector<unsigned> due;
    for (auto& [id, timer] : timers) {
        if (timer.due <= now) {
            due.push_back(id);
            timer.due = std::max(timer.due + timer.period, now);
        }
    }
    return due;
}
