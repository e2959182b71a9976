#pragma once
// Bans with memory over one admin client, the same in the window and in vyr-cli: bans and kicks
// with a reason, the banned address learnt from the server's list, timed bans lifted at expiry
// and at the next login, and the server's list joined with the bans recorded here. The front
// end forwards the client's events and steps it; it only presents what comes back.
//
// The calls, in order: SessionStarting (at Connect), Connected / Disconnected (the session
// rule's steps), Observe (from client.onEvent), AdminSent (each console line the admin sends),
// Step (at least every Deadline, and after events), and Ban / Lift / LookAtList as the admin
// asks.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/automation/AutomationOutput.h"
#include "core/bans/BanLifter.h"
#include "core/bans/BanRows.h"
#include "core/bans/BanScope.h"
#include "core/bans/BanTracker.h"

class CBanSession {
  public:
    using Clock = std::chrono::steady_clock;

    // `utcNow` gives Unix seconds; empty: the system clock. The store's clock should agree.
    explicit CBanSession(CPlayerStore& store, std::function<std::int64_t()> utcNow = {});

    void SessionStarting(ServerKey server, std::string adminUser);
    // The login: the list is asked for and, with `liftExpired`, bans that expired meanwhile
    // are lifted (the catch-up) and the others at their expiry. A one-shot job that only runs
    // a command or two does neither.
    void Connected(Clock::time_point now, bool liftExpired = true, bool lookAtList = true);
    void Disconnected();
    // True when the event answers a request of the ban memory's own (a list it asked for, a
    // lift it sent): the front end keeps it out of the log, the notices tell what it meant.
    bool Observe(const ClientEvent& event);
    // A console line the admin sent himself (Latin-1): his /list gets its own answer.
    void AdminSent(std::string_view line, Clock::time_point now);
    // Sends what is due and returns the lines for the log.
    std::vector<BanNotice> Step(CAdminClient& client, Clock::time_point now);
    std::optional<Clock::time_point> Deadline() const;

    // Why the order cannot go out; empty when it goes out at the next step.
    std::string Remove(RemovalOrder order);
    // Automation's ban of a player still on the server, for its minutes (0: permanent), with
    // its reason; a reason the server could not be told is left out.
    void RemoveForAutomation(const AutomationOutput& ban);
    // The admin lifts the bans of these list entries (or addresses), one a second.
    void Lift(const std::vector<std::string>& entries);
    // Asks for the server's list (the Bans window's Refresh).
    void LookAtList() { lookAsked = true; }
    // A list asked for by LookAtList has not come yet (nor been given up).
    bool Looking() const { return lookAsked || scope.lists.Waiting(ListPurpose::Look); }

    // The latest list of this session; null before the first.
    const std::vector<std::string>* LatestList() const { return latest ? &*latest : nullptr; }
    // Counts the lists received, so a window knows when to redraw.
    std::uint64_t ListsReceived() const { return listsReceived; }
    // The latest list joined with the bans recorded for this server.
    StoreRead<std::vector<BanRow>> Rows();
    // The reasons given in this program (kicks too), then those of the bans recorded for the
    // server, newest first, each once.
    std::vector<std::string> LastReasons(std::size_t most);
    // Bans this tool recorded for the server that are still in force, newest first.
    StoreRead<std::vector<BanRecord>> RecordedInForce();

    // Orders wait, a ban waits for its lists, or lifts wait (a list the admin asked for by
    // typing /list is his, and holds nothing up).
    bool Busy() const { return tracker.Busy() || lifter.Busy(); }
    bool IsConnected() const { return connected; }

  private:
    ListPurpose OnList(const std::vector<std::string>& entries);
    // Recorded bans whose address is gone from a whole list asked for after they were made
    // were lifted by someone else: marked so, and never lifted again.
    void SettleGone(const std::vector<std::string>& entries);

    BanScope scope;
    CBanTracker tracker{scope};
    CBanLifter lifter{scope};
    bool connected = false;
    bool lookAsked = false;
    std::int64_t lookSentUtc = 0;
    std::optional<std::vector<std::string>> latest;
    std::uint64_t listsReceived = 0;
    std::vector<std::string> reasonsGiven; // newest first
};
