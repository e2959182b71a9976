#include "core/players/PlayerRecorder.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// A player's identity is the name as the roster keeps it: up to its first NUL.
std::string Identity(const std::string& name) {
    return name.substr(0, name.find('\0'));
}

LeaveHow HowLeft(event::Departure how) {
    switch (how) {
    case event::Departure::Kicked:
        return LeaveHow::Kicked;
    case event::Departure::TimedOut:
        return LeaveHow::TimedOut;
    case event::Departure::Left:
        break;
    }
    return LeaveHow::Left;
}

} // namespace

CPlayerRecorder::CPlayerRecorder(CPlayerStore& store, const CAdminClient& client)
    : store(store), client(client), session(store.NewSession()) {}

void CPlayerRecorder::OnConnect(ServerKey newServer, std::string newAdminUser) {
    if (recording) {
        store.EndSession(session);
        recording = false;
    }
    server = std::move(newServer);
    adminUser = std::move(newAdminUser);
}

void CPlayerRecorder::StartIfLoggedIn(const ClientEvent* first) {
    if (recording || !client.loggedIn || server.host.empty()) {
        return;
    }
    std::vector<std::string> present;
    client.roster->ForEach([&](const PlayerInfo& player) { present.push_back(player.name); });
    const auto* joined = first ? std::get_if<event::PlayerJoined>(&first->what) : nullptr;
    const auto* left = first ? std::get_if<event::PlayerLeft>(&first->what) : nullptr;
    if (joined) {
        // The roster has the joiner already, at the end.
        const auto joiner =
            std::find(present.rbegin(), present.rend(), Identity(joined->player.name));
        if (joiner != present.rend()) {
            present.erase(std::next(joiner).base());
        }
    } else if (left && !left->player.name.empty()) {
        present.push_back(left->player.name); // gone from the roster already
    }
    store.StartSession(server, adminUser, std::move(present), session);
    recording = true;
}

void CPlayerRecorder::OnTick() {
    if (!recording) {
        StartIfLoggedIn(nullptr);
    } else if (!client.loggedIn) {
        store.EndSession(session);
        recording = false;
    }
}

void CPlayerRecorder::OnEvent(const ClientEvent& event) {
    StartIfLoggedIn(&event);
    if (!recording) {
        return;
    }
    if (const auto* joined = std::get_if<event::PlayerJoined>(&event.what)) {
        store.Join(Identity(joined->player.name), session);
    } else if (const auto* left = std::get_if<event::PlayerLeft>(&event.what)) {
        store.Leave(left->player.name, HowLeft(left->how), session);
    } else if (const auto* died = std::get_if<event::PlayerDied>(&event.what)) {
        if (!died->killer) {
            store.Death(died->victim.name, DeathCause::Died, {}, session);
        } else if (died->killer->id == died->victim.id) {
            store.Death(died->victim.name, DeathCause::Suicide, {}, session);
        } else {
            store.Death(died->victim.name, DeathCause::Killed, died->killer->name, session);
        }
    } else if (const auto* score = std::get_if<event::ScoreChanged>(&event.what)) {
        store.Score(score->player.name, score->value, session);
    } else if (const auto* chat = std::get_if<event::Chat>(&event.what)) {
        store.Chat(chat->sender ? chat->sender->name : std::string(), chat->kind, chat->text,
                   session);
    }
}

void CPlayerRecorder::OnKick(int position) {
    if (const auto name = client.roster->NameByPosition(position); name && !server.host.empty()) {
        store.RecordAction(server, *name, ActionKind::Kick, adminUser, {});
    }
}

void CPlayerRecorder::OnAutomation(const AutomationOutput& output) {
    if (!output.hasPlayer || server.host.empty()) {
        return;
    }
    switch (output.type) {
    case AutomationOutputType::Kick: {
        std::string detail = "automation rule " + output.rule;
        if (!output.text.empty()) {
            detail += ": " + output.text;
        }
        store.RecordAction(server, Identity(output.playerName), ActionKind::Kick, adminUser,
                           std::move(detail));
        break;
    }
    case AutomationOutputType::Note:
        store.AddToNote(server, Identity(output.playerName), output.text, adminUser);
        break;
    default:
        break;
    }
}
