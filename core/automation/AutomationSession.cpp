#include "core/automation/AutomationSession.h"

#include "core/PlayerLookup.h"
#include "core/WireText.h"
#include "engine/PrintableText.h"

namespace {

AutomationOutput Notice(const std::string& rule, std::string log) {
    AutomationOutput notice;
    notice.rule = rule;
    notice.log = std::move(log);
    return notice;
}

std::string Shown(const AutomationOutput& output) {
    return Latin1ToUtf8(Printable(output.playerName)) + " (#" + std::to_string(output.playerId) +
           ")";
}

} // namespace

void CAutomationSession::Connected() {
    connected = true;
    automation.SessionStarted();
}

void CAutomationSession::Disconnected() {
    connected = false;
    shutdown = CShutdownSequence();
    automation.SessionEnded();
}

void CAutomationSession::Observe(const ClientEvent& event) {
    automation.OnEvent(event);
    shutdown.Observe(event);
}

std::vector<AutomationOutput> CAutomationSession::Step(CAdminClient& client,
                                                       Clock::time_point now) {
    automation.SetPlayerCount(client.roster->GetCount());
    automation.Tick();
    std::vector<AutomationOutput> done;
    for (AutomationOutput& output : automation.TakeOutput()) {
        Carry(output, client, now, done);
    }
    switch (shutdown.Step(client, now)) {
    case CShutdownSequence::State::Refused:
        done.push_back(Notice({}, "the server refused to shut down"));
        shutdown = CShutdownSequence();
        break;
    case CShutdownSequence::State::Unanswered:
        done.push_back(Notice({}, "the server did not answer the shutdown request"));
        shutdown = CShutdownSequence();
        break;
    default:
        break;
    }
    return done;
}

void CAutomationSession::Carry(AutomationOutput& output, CAdminClient& client,
                               Clock::time_point now, std::vector<AutomationOutput>& done) {
    const bool onServer =
        output.type == AutomationOutputType::Say || output.type == AutomationOutputType::Kick ||
        output.type == AutomationOutputType::Ban || output.type == AutomationOutputType::Shutdown;
    if (onServer && !connected) {
        done.push_back(Notice(output.rule, "not connected: " + output.log));
        return;
    }
    switch (output.type) {
    case AutomationOutputType::Say:
        client.SendCommand(output.line.c_str());
        break;
    case AutomationOutputType::Kick:
    case AutomationOutputType::Ban: {
        // Ids are slots the server reuses: the player is the one with this id and this name.
        const std::optional<int> position =
            RosterPosition(*client.roster, {output.playerId, output.playerName});
        if (!position) {
            done.push_back(
                Notice(output.rule, Shown(output) + " is no longer on the server: " + output.log));
            return;
        }
        if (output.type == AutomationOutputType::Kick) {
            client.Kick(*position);
        } else if (banWith) {
            banWith(output);
        } else {
            client.Ban(*position);
        }
        break;
    }
    case AutomationOutputType::Shutdown:
        shutdown.Start(client, now);
        break;
    default:
        break;
    }
    done.push_back(std::move(output));
}
