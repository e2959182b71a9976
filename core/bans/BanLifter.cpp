#include "core/bans/BanLifter.h"

#include <algorithm>

#include "core/WireText.h"
#include "core/bans/ServerBanList.h"

namespace {

// How often the store is asked for bans that came due while connected.
constexpr std::chrono::seconds DUE_READ_SPACING{1};
// Expired bans whose address this session found gone, handled in one step at most; the rest
// wait for the next step, so a long catch-up never holds the event loop.
constexpr int MAX_SKIPPED_PER_STEP = 100;

} // namespace

void CBanLifter::Connected(Clock::time_point now, bool liftExpiredToo) {
    connected = true;
    liftExpired = liftExpiredToo;
    handled.clear();
    nextDueRead = now;
    nextRemoval = now;
    readProblemSaid = false;
}

void CBanLifter::Disconnected() {
    connected = false;
    queue.clear();
    awaiting.reset();
    waitingForList = false;
}

void CBanLifter::LiftByAdmin(std::string entry, std::optional<BanRecord> record) {
    if (!connected) {
        scope.Say("Not connected: the ban on " + ShownName(entry) + " was not lifted.", true);
        return;
    }
    queue.push_back({std::move(entry), std::move(record), true});
}

void CBanLifter::OnFreshList(bool answered) {
    if (!waitingForList) {
        return;
    }
    waitingForList = false;
    if (!answered) {
        scope.Say("The server's list did not answer within 5 s: expired bans are lifted "
                  "without checking it.",
                  true);
    }
}

void CBanLifter::Settled(const std::set<std::int64_t>& ids) {
    queue.erase(std::remove_if(queue.begin(), queue.end(),
                               [&](const Lift& lift) {
                                   return !lift.byAdmin && lift.record &&
                                          ids.count(lift.record->id) > 0;
                               }),
                queue.end());
    handled.insert(ids.begin(), ids.end());
}

void CBanLifter::ReadDue() {
    const StoreRead<std::vector<BanRecord>> due = scope.store.BansDue(scope.server, scope.utcNow());
    if (!due.Ok()) {
        if (!readProblemSaid && scope.store.State() != StoreState::Opening) {
            readProblemSaid = true;
            scope.Say("Expired bans cannot be lifted now: " + due.error, true);
        }
        return;
    }
    bool queued = false;
    for (const BanRecord& ban : due.value) {
        if (!handled.insert(ban.id).second) {
            continue;
        }
        if (!ban.address) {
            scope.Say("The ban on " + ShownBan(ban.name, nullptr) +
                          " has expired, but its address is unknown, so it cannot lift itself: "
                          "lift it by hand in the Bans window.",
                      true);
            continue;
        }
        queue.push_back({*ban.address, ban, false});
        queued = true;
    }
    if (queued) {
        waitingForList = true;
        scope.lookWanted = true;
    }
}

void CBanLifter::Step(CAdminClient& client, Clock::time_point now) {
    if (!connected) {
        return;
    }
    if (awaiting && now - sentAt >= ANSWER_TIMEOUT) {
        Finish(false, false);
    }
    if (!awaiting) {
        client.quietRemoveIpFailure = false;
    }
    if (liftExpired && queue.empty() && !awaiting && now >= nextDueRead) {
        nextDueRead = now + DUE_READ_SPACING;
        ReadDue();
    }
    if (waitingForList || awaiting || now < nextRemoval || queue.empty()) {
        return;
    }
    Lift lift = std::move(queue.front());
    queue.pop_front();
    // Never a control character or NUL on the wire: such an entry cannot be named in a command.
    const bool sendable = std::none_of(lift.entry.begin(), lift.entry.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    const std::string command = "/removeip " + lift.entry;
    if (!sendable || command.size() > MAX_CONSOLE_LINE) {
        scope.Say("The entry " + ShownName(lift.entry) + " cannot be sent in a /removeip.", true);
        return;
    }
    client.quietRemoveIpFailure = !lift.byAdmin; // the log says it; no box for the lifter's own
    client.SendCommand(command.c_str());
    awaiting = std::move(lift);
    sentAt = now;
    nextRemoval = now + REMOVAL_SPACING;
}

bool CBanLifter::OnRemoveIp(bool removed) {
    if (!awaiting) {
        return false;
    }
    Finish(removed, true);
    return true;
}

void CBanLifter::Finish(bool removed, bool answered) {
    const Lift lift = std::move(*awaiting);
    awaiting.reset();
    const std::string shown =
        lift.record ? ShownBan(lift.record->name, &lift.entry) : ShownName(lift.entry);
    if (removed) {
        if (lift.record) {
            scope.settledHere.insert(lift.record->id);
            scope.store.MarkBanLifted(
                lift.record->id, lift.byAdmin ? BanState::LiftedByAdmin : BanState::LiftedAtExpiry,
                scope.adminUser);
        }
        scope.Say("Ban on " + shown + " lifted" + (lift.byAdmin ? "." : ": expired."));
        scope.lookWanted = scope.lookWanted || lift.byAdmin; // the Bans window shows the change
        return;
    }
    const std::string why = answered ? "the server answered that the IP could not be removed"
                                     : "the server did not answer within 5 s";
    if (lift.byAdmin) {
        scope.Say("Ban on " + shown + " not lifted: " + why + ".", true);
        return;
    }
    scope.store.MarkBanLiftFailed(lift.record->id);
    scope.Say("Ban on " + shown + " not lifted: " + why +
                  "; it stays pending and is tried again "
                  "at the next login.",
              true);
}

std::optional<CBanLifter::Clock::time_point> CBanLifter::Deadline() const {
    if (!connected) {
        return std::nullopt;
    }
    if (awaiting) {
        return sentAt + ANSWER_TIMEOUT;
    }
    if (!queue.empty() && !waitingForList) {
        return nextRemoval;
    }
    return liftExpired ? std::optional(nextDueRead) : std::nullopt;
}
