#include "core/bans/BanSession.h"

#include <algorithm>
#include <set>

#include "core/bans/ServerBanList.h"

namespace {

constexpr char LIST_COMMAND[] = "/list";
// A ban younger than this when the list was asked for may be missing from it without having
// been lifted: another program of this tool may have recorded it a moment after its ban.
constexpr std::int64_t GONE_AFTER_SECONDS = 10;
// Reasons given in this program that are offered again: more than a list shows.
constexpr std::size_t MAX_REASONS_KEPT = 50;

std::int64_t SystemUtc() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool InForce(const BanRecord& ban) {
    return ban.state == BanState::Active || ban.state == BanState::LiftPending;
}

} // namespace

CBanSession::CBanSession(CPlayerStore& store, std::function<std::int64_t()> utcNow)
    : scope{store, utcNow ? std::move(utcNow) : SystemUtc, {}, {}, {}, false, {}, {}} {}

void CBanSession::SessionStarting(ServerKey server, std::string adminUser) {
    scope.server = std::move(server);
    scope.adminUser = std::move(adminUser);
    latest.reset();
}

void CBanSession::Connected(Clock::time_point now, bool liftExpired, bool lookAtList) {
    connected = true;
    scope.lists.Clear();
    scope.settledHere.clear();
    lookAsked = lookAtList;
    lifter.Connected(now, liftExpired);
}

void CBanSession::Disconnected() {
    connected = false;
    tracker.Disconnected();
    lifter.Disconnected();
    scope.lists.Clear();
    lookAsked = false;
    scope.lookWanted = false;
}

bool CBanSession::Observe(const ClientEvent& event) {
    if (const auto* list = std::get_if<event::ServerList>(&event.what)) {
        return OnList(list->entries) != ListPurpose::Admin;
    }
    if (const auto* removal = std::get_if<event::RemoveIpResult>(&event.what)) {
        return lifter.OnRemoveIp(removal->removed);
    }
    return false;
}

void CBanSession::AdminSent(std::string_view line, Clock::time_point now) {
    if (line == LIST_COMMAND || line.rfind("/list ", 0) == 0) {
        scope.lists.Sent(ListPurpose::Admin, now);
    }
}

ListPurpose CBanSession::OnList(const std::vector<std::string>& entries) {
    // An answer nobody here asked for is the admin's, typed where no hook saw it.
    const ListPurpose purpose = scope.lists.Answered().value_or(ListPurpose::Admin);
    latest = entries;
    ++listsReceived;
    switch (purpose) {
    case ListPurpose::BeforeBan:
    case ListPurpose::AfterBan:
        tracker.OnList(purpose, &entries);
        break;
    case ListPurpose::Look:
        SettleGone(entries);
        lifter.OnFreshList(true);
        break;
    case ListPurpose::Admin:
        break;
    }
    return purpose;
}

void CBanSession::SettleGone(const std::vector<std::string>& entries) {
    if (ListMayBeCut(entries)) {
        return; // an address missing from a cut list may still be banned
    }
    const StoreRead<std::vector<BanRecord>> recorded = RecordedInForce();
    const std::set<std::string> listed(entries.begin(), entries.end());
    std::set<std::int64_t> gone;
    for (const BanRecord& ban : recorded.value) {
        if (!ban.address || listed.count(*ban.address) > 0 ||
            ban.bannedAt + GONE_AFTER_SECONDS > lookSentUtc || scope.settledHere.count(ban.id)) {
            continue;
        }
        gone.insert(ban.id);
        scope.settledHere.insert(ban.id);
        scope.store.MarkBanLifted(ban.id, BanState::LiftedElsewhere, scope.adminUser);
        scope.Say("Ban on " + ShownBan(ban.name, &*ban.address) +
                  " was lifted elsewhere: the address is gone from the server's list.");
    }
    lifter.Settled(gone);
}

std::vector<BanNotice> CBanSession::Step(CAdminClient& client, Clock::time_point now) {
    for (const ListPurpose lost : scope.lists.GiveUp(now)) {
        if (lost == ListPurpose::Look) {
            lifter.OnFreshList(false);
        } else {
            tracker.OnList(lost, nullptr);
        }
    }
    tracker.Step(client, now);
    lifter.Step(client, now);
    // While a ban waits for its two lists no other list is asked for: were one of them lost,
    // a later answer must not pass for it.
    if (connected && client.loggedIn && (lookAsked || scope.lookWanted) && !tracker.Busy() &&
        !scope.lists.Waiting(ListPurpose::Look)) {
        client.SendCommand(LIST_COMMAND);
        scope.lists.Sent(ListPurpose::Look, now);
        lookSentUtc = scope.utcNow();
        lookAsked = false;
        scope.lookWanted = false;
    }
    return std::exchange(scope.notices, {});
}

std::optional<CBanSession::Clock::time_point> CBanSession::Deadline() const {
    std::optional<Clock::time_point> next = scope.lists.Deadline();
    if (const auto lift = lifter.Deadline(); lift && (!next || *lift < *next)) {
        next = lift;
    }
    return next;
}

std::string CBanSession::Remove(RemovalOrder order) {
    if (!connected) {
        return "not connected";
    }
    const std::string reason = order.reason;
    std::string problem = tracker.Queue(std::move(order));
    if (problem.empty() && !reason.empty()) {
        reasonsGiven.insert(reasonsGiven.begin(), reason);
        if (reasonsGiven.size() > MAX_REASONS_KEPT) {
            reasonsGiven.pop_back();
        }
    }
    return problem;
}

void CBanSession::RemoveForAutomation(const AutomationOutput& ban) {
    RemovalOrder order;
    order.player = {ban.playerId, ban.playerName};
    order.reason = ban.text;
    order.rule = ban.rule;
    if (ban.banMinutes > 0) {
        order.seconds = static_cast<std::int64_t>(ban.banMinutes) * 60;
    }
    if (const std::string problem = Remove(order); !problem.empty()) {
        order.reason.clear();
        if (Remove(std::move(order)).empty()) {
            scope.Say("The automation's reason was left out of the ban: " + problem, true);
        }
    }
}

void CBanSession::Lift(const std::vector<std::string>& entries) {
    const StoreRead<std::vector<BanRecord>> recorded = RecordedInForce();
    for (const std::string& entry : entries) {
        const auto record =
            std::find_if(recorded.value.begin(), recorded.value.end(), [&](const BanRecord& ban) {
                return ban.address && *ban.address == entry;
            });
        lifter.LiftByAdmin(entry,
                           record == recorded.value.end() ? std::nullopt : std::optional(*record));
    }
}

std::vector<std::string> CBanSession::LastReasons(std::size_t most) {
    std::vector<std::string> reasons;
    const auto add = [&](const std::string& reason) {
        if (reasons.size() < most && !reason.empty() &&
            std::find(reasons.begin(), reasons.end(), reason) == reasons.end()) {
            reasons.push_back(reason);
        }
    };
    std::for_each(reasonsGiven.begin(), reasonsGiven.end(), add);
    for (const BanRecord& ban : scope.store.Bans(scope.server).value) {
        add(ban.reason);
    }
    return reasons;
}

StoreRead<std::vector<BanRecord>> CBanSession::RecordedInForce() {
    StoreRead<std::vector<BanRecord>> read = scope.store.Bans(scope.server);
    read.value.erase(std::remove_if(read.value.begin(), read.value.end(),
                                    [](const BanRecord& ban) { return !InForce(ban); }),
                     read.value.end());
    return read;
}

StoreRead<std::vector<BanRow>> CBanSession::Rows() {
    const StoreRead<std::vector<BanRecord>> recorded = scope.store.Bans(scope.server);
    StoreRead<std::vector<BanRow>> rows;
    rows.error = recorded.error;
    rows.value = JoinBanRows(latest ? *latest : std::vector<std::string>(), recorded.value);
    return rows;
}
