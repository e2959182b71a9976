#pragma once
// The rule of a session that both front ends follow. After every tick the client's state decides
// whether the session has just begun or just ended, and how it ended decides what comes next:
// whether to try again, and vyr-cli's exit status.

#include "engine/AdminClient.h"

// The ways a session, or an attempt at one, ends.
enum class SessionEnding {
    TimedOut,       // no answer to the login within 5 s, or a server silent too long
    Refused,        // the server refused the login or ended the session with a refusal code
    ServerShutDown, // the server confirmed a shutdown request and went away
    ClosedByAdmin,  // the admin's own disconnect or quit
};

class CSessionRule {
  public:
    enum class Step { None, Connected, Disconnected };

    // A new attempt starts: what was known of the previous one is forgotten.
    void Start();
    // Every event of the client passes here (the front end forwards its onEvent).
    void Observe(const ClientEvent& event);
    // One tick: the client's own step, then the checks of Check.
    Step Tick(CAdminClient& client, bool& connected, unsigned timerId);
    // The checks that follow the client's step. Connected: the client is newly logged in.
    // Disconnected: the attempt or the session is over. `connected` is the front end's flag (the
    // window's m_bConnected); it and the client's reasonPending are updated for the step.
    Step Check(CAdminClient& client, bool& connected, unsigned timerId);
    // The admin ends the session: the client disconnects now with its reason, and the next check
    // shows the end.
    void EndByAdmin(CAdminClient& client, bool& connected);

    // How the latest attempt ended; meaningful after a Disconnected step.
    SessionEnding Ending() const;
    // The latest attempt reached the Connected step.
    bool WasLoggedIn() const { return loggedIn; }

  private:
    bool loggedIn = false;
    bool refused = false;
    bool closedByAdmin = false;
    bool shutdownConfirmed = false;
};
