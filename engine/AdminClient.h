#pragma once
// The admin protocol state machine. It never touches the window: everything the user must see
// waits in the public mailbox fields, which the window reads and clears on its refresh tick.
// It has no timer of its own; the window hands it every tick through OnTimer.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/AdminSocket.h"
#include "engine/ClientEvent.h"
#include "engine/LogEntry.h"
#include "engine/PlayerList.h"
#include "engine/Protocol.h"

class CAdminClient {
  public:
    // The first client creates the process-wide link and roster; later ones share them.
    CAdminClient();
    // A client on a link and roster of its own (tests, benchmarks); both must outlive it.
    CAdminClient(CAdminSocket& link, CPlayerList& roster);
    ~CAdminClient(); // disconnects first when logged in
    CAdminClient(const CAdminClient&) = delete;

    // Ids are one byte, so a sound server never lists more than 256 players; twice that leaves
    // room for stale duplicates. Past it a joining player is logged but not listed, so a server
    // gone wrong cannot grow the roster, or the window's redraw of it, without bound.
    static constexpr int MAX_ROSTER = 512;
    // A poll drains what waits; once it has taken a full roster's changes (four per player) it
    // stops after POLL_BUDGET, and the rest waits, readable, for the next poll. A server that
    // sends faster than the front end handles can then never hold the front end's loop.
    static constexpr int FULL_BURST = 1024;
    static constexpr std::chrono::milliseconds POLL_BUDGET{20};
    CAdminClient& operator=(const CAdminClient&) = delete;

    CAdminSocket* link;
    bool loggedIn = false;
    bool loginPending = false;
    int missedTicks = 0;
    CPlayerList* roster;
    bool reasonPending = false;
    bool logPending = false; // true while logEntries holds entries the window has not taken
    bool listDirty = false;
    bool heardFromServer = false;
    int listTextLength = 0; // length of the last list datagram (list text + 1); 0 = nothing new
    std::string reason;
    std::vector<LogEntry> logEntries; // in the order queued
    std::string listText;             // the list text of the last MSG_LIST_TEXT
    // While set, "IP could not be removed." reaches onEvent without the box: a front end lifting
    // bans by itself says so in its log instead.
    bool quietRemoveIpFailure = false;

    // Told of every server event as it is handled, before any box it opens; may stay empty.
    std::function<void(const ClientEvent&)> onEvent;

    // True when the link opened and the login request was sent.
    bool Connect(const char* host, int port, const char* user, const char* password);
    void Disconnect();
    void OnTimer(unsigned timerId);
    void Kick(int position);
    void Ban(int position);
    void SendCommand(const char* text);
    void RequestShutdown();

    // The window's side of the log mailbox: every waiting entry, in order; clears logPending.
    std::vector<LogEntry> TakeLog();

    // One whole datagram, type byte included, as the poll hands it on.
    void HandleDatagram(wire::ByteView datagram);

    // The client's own steps, public so that tests and the fuzzer can drive them.
    void HandleMessage(std::int8_t type, const std::uint8_t* payload, int length);
    void ParsePlayerBlock(const std::uint8_t* block, int length);
    void QueueLog(std::string text, COLORREF colour);

  private:
    void Poll();
    void Watchdog();
    void SendBytes(const Bytes& datagram);
    std::string NameOf(std::uint8_t id) const; // "Player #<id>" when no player has the id
    event::Player PlayerOf(std::uint8_t id) const;
    void Emit(ClientEvent event);
    void QueueEvent(ClientEvent event); // logs the event's text, then tells onEvent
};
