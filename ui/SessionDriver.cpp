#include "ui/SessionDriver.h"

#include <QSocketNotifier>
#include <QTimer>

#include "engine/Timers.h"

namespace {

// A wait that ends while a tick runs (nested in a box the client opened) is put off: the attempt
// replaces the client that the tick is still inside.
constexpr int DEFERRED_ATTEMPT_MS = 1000;

} // namespace

CSessionDriver::CSessionDriver(CWindowTimers::TickHandler onTick,
                               std::function<void()> onReconnectDue, QObject* parent)
    : QObject(parent), onTick(std::move(onTick)),
      timers([this](unsigned id) { this->onTick(id); }, this), reconnectTimer(new QTimer(this)) {
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this, std::move(onReconnectDue));
}

void CSessionDriver::WatchLink(const CAdminClient& client) {
    DropLinkNotifier();
    if (!client.link->isOpen) {
        return;
    }
    linkNotifier = new QSocketNotifier(static_cast<qintptr>(client.link->socketHandle),
                                       QSocketNotifier::Read, this);
    // The same drain and transition checks as a poll tick.
    connect(linkNotifier, &QSocketNotifier::activated, this, [this] { onTick(TIMER_POLL); });
}

void CSessionDriver::DropLinkNotifier() {
    if (linkNotifier) {
        linkNotifier->setEnabled(false);
        linkNotifier->deleteLater(); // it may be the very notifier whose signal runs now
        linkNotifier = nullptr;
    }
}

void CSessionDriver::Started(bool reconnectAttempt) {
    if (!reconnectAttempt) {
        reconnect.Stop();
    }
    rule.Start();
    timers.SetTimer(TIMER_CONNECT_TIMEOUT, CONNECT_TIMEOUT_MS);
    timers.SetTimer(TIMER_UI_REFRESH, UI_REFRESH_MS);
    timers.SetTimer(TIMER_POLL, POLL_MS);
    timers.SetTimer(TIMER_WATCHDOG, WATCHDOG_MS);
}

void CSessionDriver::ArmWaits(const CAdminClient& client, Step after, bool logWaiting) {
    if (linkNotifier) {
        linkNotifier->setEnabled(client.link->isOpen &&
                                 client.link->socketHandle == linkNotifier->socket() &&
                                 (client.loggedIn || client.loginPending));
    }
    const bool waiting =
        client.logPending || client.listDirty || client.listTextLength > 0 || logWaiting;
    if (!waiting) {
        timers.KillTimer(TIMER_UI_REFRESH);
    } else if (after == Step::RefreshTick || !timers.IsRunning(TIMER_UI_REFRESH)) {
        timers.SetTimer(TIMER_UI_REFRESH, UI_REFRESH_MS);
    }
}

std::optional<std::chrono::milliseconds> CSessionDriver::Ended(bool allowed) {
    const auto wait = reconnect.Ended(rule.Ending(), rule.WasLoggedIn());
    if (!wait || !allowed) {
        reconnect.Stop();
        return std::nullopt;
    }
    reconnectTimer->start(*wait);
    return wait;
}

bool CSessionDriver::StopReconnecting() {
    if (!reconnectTimer->isActive()) {
        return false;
    }
    reconnectTimer->stop();
    reconnect.Stop();
    return true;
}

void CSessionDriver::PutOffAttempt() {
    reconnectTimer->start(DEFERRED_ATTEMPT_MS);
}

void CSessionDriver::Stop() {
    DropLinkNotifier();
    reconnectTimer->stop();
    reconnect.Stop();
    for (unsigned id : {TIMER_CONNECT_TIMEOUT, TIMER_UI_REFRESH, TIMER_POLL, TIMER_WATCHDOG}) {
        timers.KillTimer(id);
    }
}
