#include "core/bans/BanTracker.h"

#include "core/WireText.h"
#include "core/bans/BanDuration.h"
#include "core/bans/ServerBanList.h"

namespace {

constexpr char LIST_COMMAND[] = "/list";

void ReplaceAll(std::string& text, std::string_view field, const std::string& value) {
    for (std::size_t at = text.find(field); at != std::string::npos;
         at = text.find(field, at + value.size())) {
        text.replace(at, field.size(), value);
    }
}

// Why the address stays unknown; empty when `added` names it.
std::string UnknownBecause(const std::vector<std::string>& added, bool cut) {
    if (added.size() == 1) {
        return IsDottedIpv4(added[0]) ? std::string()
                                      : "the one new list entry \"" + ShownName(added[0]) +
                                            "\" is not an IPv4 address";
    }
    if (added.empty()) {
        return cut ? "the server's list is too long to show the new address"
                   : "the server's list gained no new address";
    }
    return "the server's list gained " + std::to_string(added.size()) +
           " new addresses at once (another ban at the same moment?)";
}

} // namespace

WireText SayFirstLine(const RemovalOrder& order) {
    std::string line = order.sayFirst;
    ReplaceAll(line, "{name}", ShownName(order.player.name));
    ReplaceAll(line, "{reason}", order.reason.empty() ? "no reason given" : order.reason);
    ReplaceAll(line, "{duration}", BanLengthText(order.seconds));
    const std::optional<WireText> wire = ConsoleLineForWire(line);
    return wire ? *wire : TextForWire("", MAX_CONSOLE_LINE);
}

std::string CBanTracker::Queue(RemovalOrder order) {
    const WireText reason = TextForWire(order.reason, MAX_BAN_REASON);
    if (!reason.Ok()) {
        return reason.Describe("the reason");
    }
    if (!order.sayFirst.empty()) {
        const WireText line = SayFirstLine(order);
        if (!line.Ok()) {
            return line.Describe("the line to say");
        }
    }
    queue.push_back(std::move(order));
    return {};
}

void CBanTracker::OnList(ListPurpose purpose, const std::vector<std::string>* entries) {
    if (!current || (purpose != ListPurpose::BeforeBan && purpose != ListPurpose::AfterBan)) {
        return;
    }
    ++current->answered;
    if (!entries) {
        current->lost = "the server's list did not answer within 5 s";
    } else if (purpose == ListPurpose::BeforeBan) {
        current->before = *entries;
    } else {
        current->after = *entries;
    }
}

void CBanTracker::Step(CAdminClient& client, Clock::time_point now) {
    if (current && current->answered == 2) {
        Record(*current);
        current.reset();
    }
    // A ban starts when no other list is out, so its two answers are the first to come.
    while (!current && !queue.empty() && scope.lists.Empty()) {
        RemovalOrder order = std::move(queue.front());
        queue.pop_front();
        if (Send(order, client, now) && order.kind == RemovalOrder::Kind::Ban) {
            current = Tracking{std::move(order), {}, {}, {}, 0};
        }
    }
}

bool CBanTracker::Send(const RemovalOrder& order, CAdminClient& client, Clock::time_point now) {
    const bool ban = order.kind == RemovalOrder::Kind::Ban;
    const std::optional<int> position = RosterPosition(*client.roster, order.player);
    if (!client.loggedIn || !position) {
        scope.Say(ShownName(order.player.name) + " (#" + std::to_string(order.player.id) +
                      ") is no longer on the server: not " + (ban ? "banned." : "kicked."),
                  true);
        return false;
    }
    if (!order.sayFirst.empty()) {
        client.SendCommand(SayFirstLine(order).latin1.c_str());
    }
    if (!ban) {
        client.Kick(*position);
        scope.store.RecordAction(scope.server, order.player.name, ActionKind::Kick, scope.adminUser,
                                 order.reason);
        scope.Say("Kicked " + ShownName(order.player.name) +
                  (order.reason.empty() ? "." : ": " + order.reason + "."));
        return true;
    }
    // Nothing of the tool's goes out between these three datagrams, so the two answers are the
    // lists right before and right after the ban.
    client.SendCommand(LIST_COMMAND);
    scope.lists.Sent(ListPurpose::BeforeBan, now);
    client.Ban(*position);
    client.SendCommand(LIST_COMMAND);
    scope.lists.Sent(ListPurpose::AfterBan, now);
    return true;
}

void CBanTracker::Record(const Tracking& done) {
    const RemovalOrder& order = done.order;
    BanRequest request;
    request.server = scope.server;
    request.name = order.player.name;
    request.reason = order.reason;
    request.durationSeconds = order.seconds;
    // Automation's bans stay told apart from the admin's, in the Bans window and the history.
    request.adminUser = order.rule.empty()
                            ? scope.adminUser
                            : scope.adminUser + " (automation rule " + order.rule + ")";
    std::string unknownBecause = done.lost;
    if (done.lost.empty() && done.before && done.after) {
        const std::vector<std::string> added = NewEntries(*done.before, *done.after);
        unknownBecause = UnknownBecause(added, ListMayBeCut(*done.after));
        if (unknownBecause.empty()) {
            request.address = added[0];
        }
    }
    scope.store.RecordBan(request);
    const std::string length =
        order.seconds ? "for " + BanLengthText(order.seconds) : std::string("permanently");
    std::string line = "Banned " +
                       ShownBan(order.player.name, request.address ? &*request.address : nullptr) +
                       " " + length + (order.reason.empty() ? "." : ": " + order.reason + ".");
    if (!request.address) {
        line += " Address unknown: " + unknownBecause + "; nothing was guessed";
        line += order.seconds ? ", and this ban cannot lift itself." : ".";
    }
    scope.Say(line, !request.address);
}

void CBanTracker::Disconnected() {
    // A ban already sent is recorded with what is known; orders not sent yet are dropped.
    if (current) {
        current->lost = "the connection ended before the server's lists answered";
        Record(*current);
        current.reset();
    }
    for (const RemovalOrder& order : queue) {
        scope.Say("Not connected: " + ShownName(order.player.name) + " was not " +
                      (order.kind == RemovalOrder::Kind::Ban ? "banned." : "kicked."),
                  true);
    }
    queue.clear();
}
