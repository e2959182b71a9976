#include "cli/CliBans.h"

#include "cli/EventPrinter.h"
#include "core/PlayerLookup.h"
#include "core/WireText.h"
#include "core/bans/BanDuration.h"
#include "core/bans/ServerBanList.h"

namespace {

// The first word of `text`, or a "quoted phrase"; `rest` gets what follows, blanks dropped.
std::string FirstWord(const std::string& text, std::string& rest) {
    std::size_t end = 0;
    std::string word;
    if (!text.empty() && text[0] == '"') {
        const std::size_t close = text.find('"', 1);
        end = close == std::string::npos ? text.size() : close + 1;
        word = text.substr(1, (close == std::string::npos ? text.size() : close) - 1);
    } else {
        end = std::min(text.find(' '), text.size());
        word = text.substr(0, end);
    }
    rest = text.substr(end);
    while (!rest.empty() && rest.front() == ' ') {
        rest.erase(0, 1);
    }
    return word;
}

} // namespace

RemovalCommand ParseRemovalCommand(const std::string& argument, RemovalOrder::Kind kind) {
    RemovalCommand command;
    command.target = FirstWord(argument, command.reason);
    if (kind == RemovalOrder::Kind::Ban && !command.reason.empty()) {
        std::string rest;
        if (const std::optional<BanLength> length =
                ParseBanLength(FirstWord(command.reason, rest))) {
            command.seconds = length->seconds;
            command.reason = rest;
        }
    }
    return command;
}

CCliBans::CCliBans(CPlayerStore& store, CAdminClient& client, EventPrinter& printer)
    : client(client), printer(printer), store(store), session(store) {}

void CCliBans::SessionStarting(const std::string& host, int port, const std::string& user) {
    session.SessionStarting({host, port}, user);
}

void CCliBans::Connected(bool liftExpired, bool waitForStore) {
    if (liftExpired || waitForStore) {
        store.Open();
    }
    if (waitForStore && !store.WaitUntilOpen(std::chrono::seconds(5))) {
        printer.Error("the player memory did not open within 5 s");
    }
    session.Connected(Clock::now(), liftExpired, false);
}

void CCliBans::Step() {
    for (const BanNotice& notice : session.Step(client, Clock::now())) {
        printer.PrintBanNotice(notice);
        failed = failed || notice.problem;
    }
    if (!listing) {
        return;
    }
    if (session.ListsReceived() > listsBefore) {
        listing = false;
        const StoreRead<std::vector<BanRow>> rows = session.Rows();
        if (!rows.Ok()) {
            printer.Error("the bans recorded here cannot be read: " + rows.error);
        }
        printer.PrintBanRows(rows.value);
    } else if (!session.Looking()) {
        listing = false;
        failed = true;
        printer.Error("the server did not answer /list within 5 s");
    }
}

std::optional<std::uint8_t> CCliBans::Remove(const std::string& target, RemovalOrder::Kind kind,
                                             const std::string& reason,
                                             std::optional<std::int64_t> seconds) {
    const PlayerTarget found = FindPlayer(*client.roster, target);
    if (!found.position) {
        printer.Error(found.problem);
        return std::nullopt;
    }
    RemovalOrder order;
    order.kind = kind;
    order.player = {client.roster->IdByPosition(*found.position),
                    *client.roster->NameByPosition(*found.position)};
    order.reason = reason;
    order.seconds = seconds;
    if (const std::string problem = session.Remove(order); !problem.empty()) {
        printer.Error(problem);
        return std::nullopt;
    }
    return order.player.id;
}

void CCliBans::RunCommand(RemovalOrder::Kind kind, const std::string& argument) {
    const RemovalCommand command = ParseRemovalCommand(argument, kind);
    Remove(command.target, kind, command.reason, command.seconds);
}

void CCliBans::List() {
    listing = true;
    listsBefore = session.ListsReceived();
    session.LookAtList();
}

bool CCliBans::Unban(const std::string& target) {
    if (IsDottedIpv4(target)) {
        session.Lift({target});
        return true;
    }
    const StoreRead<std::vector<BanRecord>> recorded = session.RecordedInForce();
    if (!recorded.Ok()) {
        printer.Error("the bans recorded here cannot be read: " + recorded.error);
        return false;
    }
    const std::string name = TextForWire(target, MAX_NAME).latin1;
    for (const BanRecord& ban : recorded.value) { // newest first
        if (ban.name == name && ban.address) {
            session.Lift({*ban.address});
            return true;
        }
    }
    printer.Error("no ban of '" + target +
                  "' with a known address is recorded here; name the "
                  "address (see --bans)");
    return false;
}
