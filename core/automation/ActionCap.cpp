#include "core/automation/ActionCap.h"

void CActionCap::Update(WallTime now) {
    if (!minuteStart) {
        return;
    }
    if (now < *minuteStart) {
        // The clock went back: the minute starts again rather than lasting until the clock
        // catches up.
        minuteStart = now;
    } else if (now - *minuteStart >= std::chrono::minutes(1)) {
        minuteStart.reset();
        used = 0;
        paused = false;
    }
}

bool CActionCap::Take(WallTime now, int actions) {
    if (paused) {
        return false;
    }
    if (!minuteStart) {
        minuteStart = now;
    }
    if (used + actions > limit) {
        paused = true;
        return false;
    }
    used += actions;
    return true;
}
