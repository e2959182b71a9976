#pragma once
// Feeds the player memory from an admin client: its events, its login and its end. The front
// end makes five kinds of calls:
//   OnConnect(server, user)    when it calls client.Connect
//   OnEvent(event)             from client.onEvent
//   OnTick()                   after each client.OnTimer (notices the login and the end)
//   OnKick(pos)                before client.Kick(pos) (bans are the ban memory's to record)
//   OnAutomation(output)       for each output of the automation session's Step

#include <string>

#include "core/automation/AutomationOutput.h"
#include "core/players/PlayerStore.h"
#include "engine/AdminClient.h"
#include "engine/ClientEvent.h"

class CPlayerRecorder {
  public:
    CPlayerRecorder(CPlayerStore& store, const CAdminClient& client);

    void OnConnect(ServerKey server, std::string adminUser);
    void OnEvent(const ClientEvent& event);
    void OnTick();
    void OnKick(int position);
    // Kicks automation carried out become actions, its notes lines of the note. Its bans are
    // the ban memory's, which records each with its length and reason.
    void OnAutomation(const AutomationOutput& output);

    const ServerKey& Server() const { return server; }

  private:
    // The session starts at the login. Events handled in the same drain as the welcome come
    // before the front end's next tick: the first of them starts it, with the roster as it
    // stood before that event.
    void StartIfLoggedIn(const ClientEvent* first);

    CPlayerStore& store;
    const CAdminClient& client;
    const std::uint64_t session; // in the store, beside other recorders'
    ServerKey server;
    std::string adminUser;
    bool recording = false;
};
