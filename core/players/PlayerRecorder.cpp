#include "core/players/PlayerRecorder.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// A player's identity is the name as the roster keeps it: up to its first NUL.
std::string Identity(const std::string& name) {
    return name.substr(0, name.find('\0'));
}

bool IsLeave(EventType type) {
    return type == EventType::Leave || type == EventType::Kick || type == EventType::Timeout;
}

LeaveHow HowLeft(EventType type) {
    switch (type) {
    case EventType::Kick:
        return LeaveHow::Kicked;
    case EventType::Timeout:
        return LeaveHow::TimedOut;
    default:
        return LeaveHow::Left;
    }
}

} // namespace

CPlayerRecorder::CPlayerRecorder(CPlayerStore& store, const CAdminClient& client)
    : store(store), client(client) {}

void CPlayerRecorder::OnConnect(ServerKey newServer, std::string newAdminUser) {
    if (recording) {
        store.EndSession();
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
    if (first != nullptr && first->type == EventType::Join) {
        // The roster has the joiner already, at the end.
        const auto joiner = std::find(present.rbegin(), present.rend(), Identity(first->name));
        if (joiner != present.rend()) {
            present.erase(std::next(joiner).base());
        }
    } else if (first != nullptr && IsLeave(first->type) && !first->name.empty()) {
        present.push_back(first->name); // gone from the roster already
    }
    store.StartSession(server, adminUser, std::move(present));
    recording = true;
}

void CPlayerRecorder::OnTick() {
    if (!recording) {
        StartIfLoggedIn(nullptr);
    } else if (!client.loggedIn) {
        store.EndSession();
        recording = false;
    }
}

void CPlayerRecorder::OnEvent(const ClientEvent& event) {
    StartIfLoggedIn(&event);
    if (!recording) {
        return;
    }
    switch (event.type) {
    case EventType::Join:
        store.Join(Identity(event.name));
        break;
    case EventType::Leave:
    case EventType::Kick:
    case EventType::Timeout:
        store.Leave(event.name, HowLeft(event.type));
        break;
    case EventType::Death:
        if (!event.hasOther) {
            store.Death(event.name, DeathCause::Died);
        } else if (event.otherId == event.id) {
            store.Death(event.name, DeathCause::Suicide);
        } else {
            store.Death(event.name, DeathCause::Killed, event.otherName);
        }
        break;
    case EventType::Value:
        store.Score(event.name, event.value);
        break;
    case EventType::Chat:
        store.Chat(event.code == CHAT_KIND_SERVER ? std::string() : event.name, event.code,
                   event.message);
        break;
    default:
        break;
    }
}

void CPlayerRecorder::RecordAction(int position, ActionKind kind) {
    if (const auto name = client.roster->NameByPosition(position); name && !server.host.empty()) {
        store.RecordAction(server, *name, kind, adminUser, {});
    }
}

void CPlayerRecorder::OnKick(int position) {
    RecordAction(position, ActionKind::Kick);
}

void CPlayerRecorder::OnBan(int position) {
    RecordAction(position, ActionKind::Ban);
}
