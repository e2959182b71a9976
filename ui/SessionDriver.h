#pragma once
// What keeps a session running in the window, on the core's session rule: the four window timers,
// a notifier that drains the link as soon as a datagram is readable, the refresh tick armed only
// while something waits to be shown, and reconnecting by itself after a session lost to silence.
// Every tick goes to the window's OnTimer; the window shows what the rule decides.

#include <QObject>
#include <chrono>
#include <functional>
#include <optional>

#include "core/ReconnectPolicy.h"
#include "core/SessionRule.h"
#include "platform/WindowTimers.h"

class QSocketNotifier;
class QTimer;

class CSessionDriver : public QObject {
    Q_OBJECT
  public:
    // `onTick` gets every tick of every timer and every readiness of the link (as a poll tick);
    // `onReconnectDue` runs when the wait before the next attempt is over.
    CSessionDriver(CWindowTimers::TickHandler onTick, std::function<void()> onReconnectDue,
                   QObject* parent);

    CSessionRule& Rule() { return rule; }
    CWindowTimers& Timers() { return timers; }
    QTimer* ReconnectTimer() const { return reconnectTimer; }

    // A link was opened (or not) by Connect: the previous notifier goes, one for this link comes.
    void WatchLink(const CAdminClient& client);
    // The login is on its way: the timers are armed and the rule starts afresh. A session started
    // by the admin ends any reconnecting.
    void Started(bool reconnectAttempt);
    void LoggedIn() { reconnect.LoggedIn(); }
    // Which step of the window the client has just been through.
    enum class Step { Other, RefreshTick };
    // After every step of the client: the notifier listens only while the client reads the link
    // (readiness the client would not consume would wake the loop without end), and the refresh
    // tick runs only while the client's mailboxes or the log's backlog hold something; a refresh
    // tick that leaves something restarts itself.
    void ArmWaits(const CAdminClient& client, Step after, bool logWaiting);
    // The session ended: the wait before the next attempt starts, when the rule's ending calls
    // for one and `allowed`; nothing otherwise.
    std::optional<std::chrono::milliseconds> Ended(bool allowed);
    // Stops a running wait; true when one was running.
    bool StopReconnecting();
    // The attempt due now has to wait (a tick is still running): tried again a little later.
    void PutOffAttempt();
    // Nothing runs any more: timers, notifier and wait stopped (the window closes).
    void Stop();

  private:
    void DropLinkNotifier();

    CWindowTimers::TickHandler onTick;
    CWindowTimers timers;
    CSessionRule rule;
    CReconnectPolicy reconnect{ProcessRandom};
    QSocketNotifier* linkNotifier = nullptr; // for the socket of the latest Connect
    QTimer* reconnectTimer;                  // single shot; active only while waiting
};
