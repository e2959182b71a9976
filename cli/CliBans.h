#pragma once
// vyr-cli's side of the ban memory: its jobs (--ban with --for and --reason, --kick with
// --reason, --bans, --unban) and local commands (:ban, :kick, :bans, :unban), on the core's ban
// session. What the ban memory says is printed; lists and removals it asked for itself are kept
// out of the event output.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/bans/BanSession.h"

class EventPrinter;

// The argument of ":ban PLAYER [LENGTH] [REASON...]" or ":kick PLAYER [REASON...]"; PLAYER in
// quotes when it holds blanks. A word after PLAYER that is no length starts the reason.
struct RemovalCommand {
    std::string target;
    std::optional<std::int64_t> seconds; // none: permanent
    std::string reason;
};
RemovalCommand ParseRemovalCommand(const std::string& argument, RemovalOrder::Kind kind);

class CCliBans {
  public:
    using Clock = std::chrono::steady_clock;

    CCliBans(CPlayerStore& store, CAdminClient& client, EventPrinter& printer);

    void SessionStarting(const std::string& host, int port, const std::string& user);
    // With `liftExpired` (following, or at the prompt) expired bans are lifted. A one-shot job
    // that reads the records (--bans, --unban) may wait for the store to open.
    void Connected(bool liftExpired, bool waitForStore);
    void Disconnected() { session.Disconnected(); }
    // True when the event answers the ban memory's own request and is not to be printed.
    bool Observe(const ClientEvent& event) { return session.Observe(event); }
    void AdminSent(std::string_view line) { session.AdminSent(line, Clock::now()); }
    void Step();
    std::optional<Clock::time_point> Deadline() const { return session.Deadline(); }
    // Something the ban memory sent still waits for its answer.
    bool Busy() const { return session.Busy() || listing; }

    // A kick or ban of `target` ("#id" or an exact name); the player's id, or nothing (the
    // problem printed).
    std::optional<std::uint8_t> Remove(const std::string& target, RemovalOrder::Kind kind,
                                       const std::string& reason,
                                       std::optional<std::int64_t> seconds);
    void RemoveForAutomation(const AutomationOutput& ban) { session.RemoveForAutomation(ban); }
    // ":ban PLAYER [LENGTH] [REASON...]" and ":kick PLAYER [REASON...]", PLAYER in quotes when
    // it holds blanks.
    void RunCommand(RemovalOrder::Kind kind, const std::string& argument);
    // Prints the server's list joined with the bans recorded here, once it answers.
    void List();
    // Lifts the ban of an address, or the recorded ban of a player; false when there is none.
    bool Unban(const std::string& target);
    // A list or lift of the job failed: the job's exit status is not success.
    bool Failed() const { return failed; }

  private:
    CAdminClient& client;
    EventPrinter& printer;
    CPlayerStore& store;
    CBanSession session;
    bool listing = false;
    std::uint64_t listsBefore = 0;
    bool failed = false;
};
