#include "platform/WindowTimers.h"

#include <QTimerEvent>
#include <algorithm>
#include <utility>

CWindowTimers::CWindowTimers(TickHandler onTick, QObject* parent)
    : QObject(parent), onTick(std::move(onTick)) {}

CWindowTimers::~CWindowTimers() = default;

void CWindowTimers::SetTimer(unsigned id, int periodMs) {
    const int period = std::max(periodMs, MIN_PERIOD_MS);
    const auto it = timers.find(id);
    if (it != timers.end()) {
        // A restart starts a new phase; a tick that already waits still arrives.
        killTimer(it->second.qtTimerId);
        it->second.qtTimerId = startTimer(period, Qt::PreciseTimer);
        it->second.periodMs = period;
        return;
    }
    timers.emplace(id, Timer{startTimer(period, Qt::PreciseTimer), period, false});
}

void CWindowTimers::KillTimer(unsigned id) {
    const auto it = timers.find(id);
    if (it == timers.end()) {
        return;
    }
    killTimer(it->second.qtTimerId);
    // Dropping the entry also drops its waiting tick: Deliver finds nothing.
    timers.erase(it);
}

bool CWindowTimers::IsRunning(unsigned id) const {
    return timers.count(id) != 0;
}

int CWindowTimers::PeriodOf(unsigned id) const {
    const auto it = timers.find(id);
    return it == timers.end() ? 0 : it->second.periodMs;
}

void CWindowTimers::timerEvent(QTimerEvent* event) {
    const auto it = std::find_if(timers.begin(), timers.end(), [&](const auto& entry) {
        return entry.second.qtTimerId == event->timerId();
    });
    if (it == timers.end() || it->second.tickWaiting) {
        return;
    }
    // Qt does not fire a timer again while its event is being handled, and a handler may sit in
    // a modal box for long. Handing the tick over through the event queue lets this timer fire
    // again meanwhile, as Windows timers do.
    it->second.tickWaiting = true;
    const unsigned id = it->first;
    QMetaObject::invokeMethod(
        this, [this, id] { Deliver(id); }, Qt::QueuedConnection);
}

void CWindowTimers::Deliver(unsigned id) {
    // A kill followed by a new SetTimer can leave the old timer's delivery queued beside the new
    // one's; only the first of them finds the waiting tick.
    const auto it = timers.find(id);
    if (it == timers.end() || !it->second.tickWaiting) {
        return;
    }
    it->second.tickWaiting = false;
    onTick(id);
}
