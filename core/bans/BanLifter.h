#pragma once
// Lifting bans: at expiry while connected, and at login for every expiry that fell while not
// connected (in expiry order), by `/removeip ADDR`, never more than one a second, each waiting
// for the server's answer. Lifts wait for a fresh list first, so that a ban someone else lifted
// (its address gone from the list) is marked so rather than lifted again. A failed lift keeps
// the ban pending, said once, and is tried again at the next login. The admin's own lifts from
// the Bans window share the same pace.

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/bans/BanScope.h"
#include "engine/AdminClient.h"

class CBanLifter {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds REMOVAL_SPACING{1};
    static constexpr std::chrono::seconds ANSWER_TIMEOUT{5};

    explicit CBanLifter(BanScope& scope) : scope(scope) {}

    // A session starts: with `liftExpired`, due bans are looked for now, failed ones included;
    // without, only the admin's lifts are carried out.
    void Connected(Clock::time_point now, bool liftExpired);
    void Disconnected();
    // The admin lifts `entry` (as the server lists it), with this tool's record of it if any.
    void LiftByAdmin(std::string entry, std::optional<BanRecord> record);
    // A list asked for after the due bans were read.
    void OnFreshList(bool answered);
    // These bans are settled elsewhere (gone from the server's list): not to be lifted.
    void Settled(const std::set<std::int64_t>& ids);
    // True when the answer was to this lifter's own /removeip.
    bool OnRemoveIp(bool removed);
    void Step(CAdminClient& client, Clock::time_point now);
    bool Busy() const { return !queue.empty() || awaiting.has_value(); }
    std::optional<Clock::time_point> Deadline() const;

  private:
    struct Lift {
        std::string entry;
        std::optional<BanRecord> record;
        bool byAdmin = false;
    };

    void ReadDue();
    void Finish(bool removed, bool answered);

    BanScope& scope;
    bool connected = false;
    bool liftExpired = false;
    std::deque<Lift> queue;
    std::optional<Lift> awaiting;
    Clock::time_point sentAt;
    Clock::time_point nextRemoval;
    Clock::time_point nextDueRead;
    bool waitingForList = false;
    std::set<std::int64_t> handled; // this session: queued, failed or said to be unliftable
    bool readProblemSaid = false;
};
