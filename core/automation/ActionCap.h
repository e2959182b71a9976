#pragma once
// The cap on what triggers may do in a minute, all rules together: once it is reached they
// pause for the rest of that minute, so a chat flood never turns into a flood of actions.

#include <chrono>
#include <optional>

#include "core/automation/LocalClock.h"

class CActionCap {
  public:
    explicit CActionCap(int perMinute) : limit(perMinute) {}

    void SetLimit(int perMinute) { limit = perMinute; }
    int Limit() const { return limit; }

    // Closes a minute that is over, which ends its pause.
    void Update(WallTime now);
    bool Paused() const { return paused; }
    // When the pause ends; only while paused.
    WallTime PausedUntil() const { return *minuteStart + std::chrono::minutes(1); }

    // Counts `actions` more when they fit in this minute's share; otherwise pauses until the
    // minute is over and returns false. Call Update first.
    bool Take(WallTime now, int actions);

  private:
    int limit;
    int used = 0;
    bool paused = false;
    std::optional<WallTime> minuteStart; // the minute begins with its first action
};
