#pragma once
// The admin side of the server: one session at a time, bound to the endpoint that logged in.
// It answers logins, keeps the session alive, carries out kick, ban, chat, console commands and
// shutdown requests, and writes one line per request, and per dropped malformed datagram, to `log`.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/demo-server/DatagramSocket.h"
#include "tools/demo-server/Options.h"
#include "tools/demo-server/PlayerSimulation.h"

class AdminServer {
  public:
    using Clock = std::chrono::steady_clock;

    AdminServer(const Options& options, DatagramSocket& socket, PlayerSimulation& game,
                std::ostream& log);

    void OnDatagram(const Endpoint& from, const std::uint8_t* data, std::size_t size,
                    Clock::time_point now);
    // Keepalive pings and the silence limit.
    void OnTick(Clock::time_point now);
    // Tells a logged-in admin that the server goes down (on a signal).
    void AnnounceShutdown();

    bool LoggedIn() const { return admin.has_value(); }
    // A game event; dropped when no admin is logged in. True when it went out.
    bool SendEvent(const Bytes& datagram);
    bool ExitRequested() const { return exitRequested; }

  private:
    void HandleLogin(const Endpoint& from, wire::ByteView payload, Clock::time_point now);
    // False when the datagram is shorter than its type's layout.
    bool HandleSessionMessage(std::uint8_t type, wire::ByteView payload, Clock::time_point now);
    void HandleChat(const std::string& text);
    void HandleCommand(std::string_view line);
    void RemovePlayer(std::uint8_t id, bool ban);
    void Bar(const std::string& address); // puts the address on the ban list once
    void HandleShutdown(Clock::time_point now);
    void SendServerLine(std::string_view text);
    void EndSession(std::string_view logLine);
    bool Send(const Bytes& datagram);
    // A datagram shorter than its layout: one line, nothing else changes.
    void LogDropped(const Endpoint& from, std::size_t size);
    void Log(const std::string& line);

    const Options& options;
    DatagramSocket& socket;
    PlayerSimulation& game;
    std::ostream& log;

    std::optional<Endpoint> admin;
    Clock::time_point lastHeard;
    Clock::time_point lastPing;
    std::optional<Clock::time_point> firstShutdownRequest;
    std::vector<std::string> banList;
    std::vector<std::string> alsoBanNext; // barred together with the next ban
    std::vector<std::string> kept;        // addresses /removeip refuses to remove
    unsigned listAnswersToDrop = 0;
    bool exitRequested = false;
};
