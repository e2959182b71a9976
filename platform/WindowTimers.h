#pragma once
// Window timers with the semantics the main loop relies on: numbered timers whose ticks arrive
// on the window's thread; arming an id that runs restarts it; a period below 10 ms runs at
// 10 ms; ticks keep arriving inside modal boxes and nested event loops, also while the handler
// of the same id is itself waiting in one; a timer never has more than one tick waiting.

#include <QObject>
#include <functional>
#include <map>

class CWindowTimers : public QObject {
    Q_OBJECT
  public:
    using TickHandler = std::function<void(unsigned id)>;
    static constexpr int MIN_PERIOD_MS = 10;

    explicit CWindowTimers(TickHandler onTick, QObject* parent = nullptr);
    ~CWindowTimers() override;

    void SetTimer(unsigned id, int periodMs);
    void KillTimer(unsigned id);
    bool IsRunning(unsigned id) const;
    int PeriodOf(unsigned id) const; // the effective period; 0 when not running

  protected:
    void timerEvent(QTimerEvent* event) override;

  private:
    struct Timer {
        int qtTimerId;
        int periodMs;
        bool tickWaiting; // a delivery is queued and has not run yet
    };

    void Deliver(unsigned id);

    std::map<unsigned, Timer> timers;
    TickHandler onTick;
};
