#pragma once
// Bans and kicks with a reason, and learning the banned address. The server bars the address
// it saw without saying which: the tracker asks for the list right before and right after its
// ban, and exactly one new address is the player's. Zero or several (another admin banned at
// the same moment, the list was cut) or a list that did not answer in 5 s: the ban is recorded
// with its address unknown; the tracker never guesses. One ban is tracked at a time, so two of
// this tool's own bans cannot share a pair of lists.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/PlayerLookup.h"
#include "core/WireText.h"
#include "core/bans/BanScope.h"
#include "engine/AdminClient.h"

struct RemovalOrder {
    enum class Kind { Kick, Ban } kind = Kind::Ban;
    PlayerKey player;                    // id and name as the roster had them
    std::string reason;                  // UTF-8; may be empty
    std::optional<std::int64_t> seconds; // a ban's length; none: permanent
    // Said on the server first, with {name}, {reason} and {duration} filled in; empty: nothing.
    std::string sayFirst;
    std::string rule; // the automation rule that ordered it; empty: the admin
};

// The longest reason, in characters: it may be said in a console line.
constexpr std::size_t MAX_BAN_REASON = 100;
constexpr char DEFAULT_SAY_TEMPLATE[] = "Banned {name}: {reason} ({duration})";
constexpr char DEFAULT_KICK_SAY_TEMPLATE[] = "Kicked {name}: {reason}";

// The line said before the removal, ready for the wire, or why it cannot be said.
WireText SayFirstLine(const RemovalOrder& order);

class CBanTracker {
  public:
    using Clock = std::chrono::steady_clock;

    explicit CBanTracker(BanScope& scope) : scope(scope) {}

    // Why the order cannot go out (a reason or a line the server cannot take); empty when it
    // was queued for the next step.
    std::string Queue(RemovalOrder order);
    // The answer to one of the tracker's lists; null when it was given up.
    void OnList(ListPurpose purpose, const std::vector<std::string>* entries);
    void Step(CAdminClient& client, Clock::time_point now);
    void Disconnected();
    // An order waits, or a ban waits for its lists.
    bool Busy() const { return !queue.empty() || current.has_value(); }

  private:
    struct Tracking {
        RemovalOrder order;
        std::optional<std::vector<std::string>> before, after;
        std::string lost; // why a list did not answer; empty: both did
        int answered = 0;
    };

    // Sends the order's lines; false when the player is gone.
    bool Send(const RemovalOrder& order, CAdminClient& client, Clock::time_point now);
    void Record(const Tracking& done);

    BanScope& scope;
    std::deque<RemovalOrder> queue;
    std::optional<Tracking> current;
};
