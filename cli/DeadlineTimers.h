#pragma once
// Periodic timers by id for a poll() loop: the loop asks how long it may sleep and which timers
// are due. A timer that fell behind ticks once, not once per missed period.

#include <chrono>
#include <map>
#include <vector>

class DeadlineTimers {
  public:
    using Clock = std::chrono::steady_clock;

    // Arms `id` to tick every `periodMs`, the first tick one period from `now`; re-arming restarts.
    void Set(unsigned id, int periodMs, Clock::time_point now);
    void Kill(unsigned id) { timers.erase(id); }
    // Milliseconds until the earliest tick (0 when one is due), -1 when no timer runs.
    int MsUntilNext(Clock::time_point now) const;
    // The ids due at `now`, in id order, each re-armed for its next period.
    std::vector<unsigned> TakeDue(Clock::time_point now);

  private:
    struct Timer {
        std::chrono::milliseconds period;
        Clock::time_point due;
    };
    std::map<unsigned, Timer> timers;
};
