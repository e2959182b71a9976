#include "engine/AdminClient.h"

#include <utility>

#include "engine/ClientTexts.h"
#include "engine/PrintableText.h"
#include "engine/Timers.h"
#include "platform/MessageBox.h"

namespace {

// The link and the roster are shared by every client of the process and live until it ends.
CAdminSocket& SharedLink() {
    static CAdminSocket link;
    return link;
}

CPlayerList& SharedRoster() {
    static CPlayerList roster;
    return roster;
}

EventType LeaveType(std::uint8_t reason) {
    switch (reason) {
    case LEAVE_KICKED:
        return EventType::Kick;
    case LEAVE_TIMED_OUT:
        return EventType::Timeout;
    default:
        return EventType::Leave;
    }
}

COLORREF ChatColour(std::uint8_t kind) {
    switch (kind) {
    case CHAT_KIND_TEAM:
        return COLOUR_BROWN;
    case CHAT_KIND_SERVER:
        return COLOUR_DARK_RED;
    default:
        return COLOUR_BLACK;
    }
}

// IdByPosition answers 0 for an empty position, and 0 is also a real id: a command for an empty
// position would hit whichever player holds id 0.
bool HoldsPlayer(const CPlayerList& roster, int position) {
    return position >= 0 && position < roster.GetCount();
}

// Shows a client box unless one is already open. A box runs nested ticks, so a server that
// keeps refusing would otherwise stack one box, and its stack frames, per datagram.
void ShowBox(const std::string& text) {
    static bool open = false;
    if (open) {
        return;
    }
    open = true;
    AfxMessageBox(text);
    open = false;
}

} // namespace

CAdminClient::CAdminClient() : CAdminClient(SharedLink(), SharedRoster()) {}

CAdminClient::CAdminClient(CAdminSocket& link, CPlayerList& roster)
    : link(&link), roster(&roster) {}

CAdminClient::~CAdminClient() {
    if (loggedIn) {
        Disconnect();
    }
}

bool CAdminClient::Connect(const char* host, int port, const char* user, const char* password) {
    // Ends whatever attempt came before (quit and close when logged in) and empties the roster.
    Disconnect();
    if (!link->Open(host, port)) {
        return false;
    }
    SendBytes(wire::EncodeLogin(user, password));
    loginPending = true;
    return true;
}

void CAdminClient::Disconnect() {
    if (loggedIn) {
        SendBytes(wire::EncodeQuit());
        link->Close();
    }
    roster->RemoveAll();
    loggedIn = false;
    loginPending = false;
}

void CAdminClient::OnTimer(unsigned timerId) {
    switch (timerId) {
    case TIMER_CONNECT_TIMEOUT:
        if (!loggedIn && loginPending) {
            reasonPending = true;
            reason = texts::TIMED_OUT;
            Disconnect();
        }
        break;
    case TIMER_POLL:
        Poll();
        break;
    case TIMER_WATCHDOG:
        if (loggedIn) {
            Watchdog();
        }
        break;
    default:
        break;
    }
}

void CAdminClient::Poll() {
    // A buffer per poll: a poll nested inside a message box must not overwrite the datagram
    // that the outer poll is still handling. The state is checked before every read because a
    // nested tick may have ended the connection.
    std::uint8_t buffer[MAX_DATAGRAM];
    while (loggedIn || loginPending) {
        const int n = link->Receive(buffer, static_cast<int>(sizeof buffer));
        if (n <= 0) {
            return;
        }
        HandleDatagram(wire::ByteView{buffer, static_cast<std::size_t>(n)});
    }
}

void CAdminClient::Watchdog() {
    missedTicks = heardFromServer ? 0 : missedTicks + 1;
    heardFromServer = false;
    if (missedTicks > WATCHDOG_SILENT_TICKS) {
        reason = texts::TIMED_OUT;
        Disconnect();
    }
}

void CAdminClient::Kick(int position) {
    if (HoldsPlayer(*roster, position)) {
        SendBytes(wire::EncodeKick(roster->IdByPosition(position)));
    }
}

void CAdminClient::Ban(int position) {
    if (HoldsPlayer(*roster, position)) {
        SendBytes(wire::EncodeBan(roster->IdByPosition(position)));
    }
}

void CAdminClient::SendCommand(const char* text) {
    SendBytes(wire::EncodeChat(text));
}

void CAdminClient::RequestShutdown() {
    SendBytes(wire::EncodeKillServer());
}

std::vector<LogEntry> CAdminClient::TakeLog() {
    std::vector<LogEntry> taken = std::move(logEntries);
    logEntries.clear();
    logPending = false;
    return taken;
}

void CAdminClient::QueueLog(std::string text, COLORREF colour) {
    logEntries.push_back(LogEntry{std::move(text), colour});
    logPending = true;
}

void CAdminClient::Emit(ClientEvent event) {
    if (onEvent) {
        onEvent(event);
    }
}

void CAdminClient::QueueEvent(ClientEvent event) {
    QueueLog(event.text, event.colour);
    Emit(std::move(event));
}

void CAdminClient::SendBytes(const Bytes& datagram) {
    link->Send(datagram.data(), static_cast<int>(datagram.size()));
}

// The name as a log line shows it: printable, and "Player #<id>" when no player has the id.
std::string CAdminClient::NameOf(std::uint8_t id) const {
    return Printable(roster->NameById(id).value_or("Player #" + std::to_string(id)));
}

void CAdminClient::HandleDatagram(wire::ByteView datagram) {
    if (datagram.data == nullptr || datagram.size == 0) {
        return;
    }
    HandleMessage(static_cast<std::int8_t>(datagram.data[0]), datagram.data + 1,
                  static_cast<int>(datagram.size));
}

void CAdminClient::HandleMessage(std::int8_t type, const std::uint8_t* payload, int length) {
    heardFromServer = true; // every datagram counts as traffic, also one that is then ignored
    if (length <= 0) {
        return;
    }
    const wire::ByteView view{payload, static_cast<std::size_t>(length - 1)};
    switch (type) {
    case MSG_WELCOME:
        if (length >= static_cast<int>(WELCOME_MIN_READ)) {
            const int blockOffset = static_cast<int>(WELCOME_BLOCK_OFFSET);
            if (length > blockOffset) {
                ParsePlayerBlock(payload + blockOffset - 1, length - blockOffset);
            } else {
                ParsePlayerBlock(nullptr, 0);
            }
        }
        loggedIn = true;
        break;
    case MSG_CHAT:
        if (auto chat = wire::DecodeChat(view)) {
            ClientEvent event{EventType::Chat};
            event.id = chat->sender;
            event.code = chat->kind;
            event.colour = ChatColour(chat->kind);
            if (chat->kind == CHAT_KIND_SERVER) {
                event.text = "<" + Printable(chat->text) + ">";
            } else {
                event.name = roster->NameById(chat->sender).value_or(std::string());
                event.text = NameOf(chat->sender) + ": " + Printable(chat->text);
            }
            event.message = std::move(chat->text);
            QueueEvent(std::move(event));
        }
        break;
    case MSG_PING:
        SendBytes(wire::EncodePong());
        break;
    case MSG_REFUSED:
        if (const auto code = wire::DecodeRefused(view)) {
            // The attempt ends before the box opens: the box runs nested ticks, and they must
            // find the connection over with its true reason, not time it out meanwhile.
            const texts::Refusal refusal = texts::RefusalFor(*code);
            reason = std::string(refusal.reason);
            reasonPending = true;
            Disconnect();
            ClientEvent event{EventType::Refused};
            event.code = *code;
            event.message = reason;
            Emit(std::move(event));
            if (!refusal.box.empty()) {
                ShowBox(std::string(refusal.box));
            }
        }
        break;
    case MSG_PLAYER_JOIN:
        if (auto join = wire::DecodePlayerJoin(view)) {
            if (roster->GetCount() < MAX_ROSTER) {
                roster->Add(join->id, join->name);
                listDirty = true;
            }
            ClientEvent event{EventType::Join, NameOf(join->id) + " has joined the game.",
                              COLOUR_GREEN, join->id};
            event.name = join->name.substr(0, MAX_NAME);
            QueueEvent(std::move(event));
        }
        break;
    case MSG_PLAYER_LEAVE:
        if (const auto leave = wire::DecodePlayerLeave(view)) {
            ClientEvent event{LeaveType(leave->reason),
                              NameOf(leave->id) + std::string(texts::LeaveText(leave->reason)),
                              COLOUR_GREEN, leave->id};
            event.name = roster->NameById(leave->id).value_or(std::string());
            event.code = leave->reason;
            roster->RemoveById(leave->id);
            listDirty = true;
            QueueEvent(std::move(event));
        }
        break;
    case MSG_DEATH:
        if (const auto death = wire::DecodeDeath(view)) {
            ClientEvent event{EventType::Death};
            event.colour = COLOUR_RED;
            event.id = death->victim;
            event.name = roster->NameById(death->victim).value_or(std::string());
            if (const auto killer = roster->NameById(death->killer); !killer) {
                event.text = NameOf(death->victim) + " died.";
            } else {
                event.hasOther = true;
                event.otherId = death->killer;
                event.otherName = *killer;
                event.text = death->killer == death->victim
                                 ? NameOf(death->victim) + " killed himself."
                                 : NameOf(death->killer) + " killed " + NameOf(death->victim) + ".";
            }
            QueueEvent(std::move(event));
        }
        break;
    case MSG_PLAYER_VALUE:
        if (const auto update = wire::DecodePlayerValue(view)) {
            roster->SetValue(update->id, update->value);
            listDirty = true;
            ClientEvent event{EventType::Value};
            event.id = update->id;
            event.name = roster->NameById(update->id).value_or(std::string());
            event.value = update->value;
            Emit(std::move(event));
        }
        break;
    case MSG_REMOVE_IP_RESULT:
        if (const auto result = wire::DecodeRemoveIpResult(view)) {
            ClientEvent event{EventType::RemoveIp};
            event.code = *result;
            Emit(std::move(event));
            if (*result == 0) {
                ShowBox(std::string(texts::REMOVE_IP_FAILED));
            }
        }
        break;
    case MSG_LIST_TEXT:
        listText = wire::DecodeListText(view);
        listTextLength = length;
        if (onEvent) {
            ClientEvent event{EventType::List};
            event.entries = wire::SplitListText(listText);
            Emit(std::move(event));
        }
        break;
    case MSG_KILLSERVER:
        if (const auto status = wire::DecodeKillServerStatus(view)) {
            const auto text = texts::KillServerText(*status);
            ClientEvent event{EventType::Shutdown,
                              text ? std::string(*text)
                                   : "KILLSERVER: Unknown status " + std::to_string(*status) + ".",
                              COLOUR_DARK_RED};
            event.code = *status;
            QueueEvent(std::move(event));
        }
        break;
    default:
        break;
    }
}

void CAdminClient::ParsePlayerBlock(const std::uint8_t* block, int length) {
    const wire::ByteView view{block, length > 0 ? static_cast<std::size_t>(length) : 0};
    for (const wire::PlayerEntry& player : wire::DecodePlayerBlock(view)) {
        if (roster->GetCount() >= MAX_ROSTER) {
            break;
        }
        roster->Add(player.id, player.name);
        roster->SetValue(player.id, player.value);
    }
    listDirty = true;
}
