#include "core/SessionRule.h"

#include "core/CoreTexts.h"
#include "engine/Timers.h"

void CSessionRule::Start() {
    *this = CSessionRule();
}

void CSessionRule::Observe(const ClientEvent& event) {
    if (std::holds_alternative<event::Refused>(event.what)) {
        refused = true;
    } else if (const auto* answer = std::get_if<event::ShutdownAnswer>(&event.what)) {
        shutdownConfirmed = shutdownConfirmed || answer->status == ShutdownStatus::ShuttingDown;
    }
}

CSessionRule::Step CSessionRule::Tick(CAdminClient& client, bool& connected, unsigned timerId) {
    client.OnTimer(timerId);
    return Check(client, connected, timerId);
}

CSessionRule::Step CSessionRule::Check(CAdminClient& client, bool& connected, unsigned timerId) {
    const bool idle = !client.loggedIn && !client.loginPending;
    if (!connected && client.loggedIn) {
        connected = true;
        loggedIn = true;
        return Step::Connected;
    }
    if ((connected && idle) || client.reasonPending || (timerId == TIMER_CONNECT_TIMEOUT && idle)) {
        client.reasonPending = false;
        connected = false;
        return Step::Disconnected;
    }
    return Step::None;
}

void CSessionRule::EndByAdmin(CAdminClient& client, bool& connected) {
    client.Disconnect();
    client.reason = texts::REASON_CLIENT_DISCONNECTED;
    closedByAdmin = true;
    connected = true;
}

SessionEnding CSessionRule::Ending() const {
    if (closedByAdmin) {
        return SessionEnding::ClosedByAdmin;
    }
    if (shutdownConfirmed) {
        return SessionEnding::ServerShutDown;
    }
    return refused ? SessionEnding::Refused : SessionEnding::TimedOut;
}
