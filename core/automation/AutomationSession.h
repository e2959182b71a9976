#pragma once
// Automation over one client, the same in the window and in vyr-cli. The session's beginning and
// end and the client's events go in; what automation asks of the server is carried out on the
// client (lines said, kicks, bans, a shutdown with its confirmation), and every output comes back
// for the front end to show, and to keep where it asks for notes or attention.

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "core/ShutdownSequence.h"
#include "core/automation/Automation.h"

class CAutomationSession {
  public:
    using Clock = std::chrono::steady_clock;

    explicit CAutomationSession(CAutomation& automation) : automation(automation) {}

    void Connected();
    void Disconnected();
    // Every event of the client passes here; what it calls for is carried out at the next Step,
    // never in the middle of the client's handling of a datagram.
    void Observe(const ClientEvent& event);
    // At least once a second, connected or not: the schedules' tick, then everything automation
    // asked for since the last step, in order, carried out where the client can.
    std::vector<AutomationOutput> Step(CAdminClient& client, Clock::time_point now);
    // While a shutdown waits for the server's answer: when the wait ends.
    std::optional<Clock::time_point> Deadline() const { return shutdown.Deadline(); }

    CAutomation& Rules() { return automation; }

    // Where automation's bans go (with the player still on the server), so that they are
    // recorded with their length and reason like the admin's own; unset: a bare ban.
    std::function<void(const AutomationOutput& ban)> banWith;

  private:
    void Carry(AutomationOutput& output, CAdminClient& client, Clock::time_point now,
               std::vector<AutomationOutput>& done);

    CAutomation& automation;
    CShutdownSequence shutdown;
    bool connected = false;
};
