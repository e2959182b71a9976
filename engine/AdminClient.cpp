#include "engine/AdminClient.h"

#include <utility>

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

const char* const TIMED_OUT = "Connection timed out.";

const char* LeaveText(std::uint8_t reason) {
    switch (reason) {
    case LEAVE_KICKED:
        return " has been kicked from the game.";
    case LEAVE_TIMED_OUT:
        return " timed out.";
    default:
        return " has left the game.";
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

CAdminClient::CAdminClient() : link(&SharedLink()), roster(&SharedRoster()) {}

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
            reason = TIMED_OUT;
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
        HandleMessage(static_cast<std::int8_t>(buffer[0]), buffer + 1, n);
    }
}

void CAdminClient::Watchdog() {
    missedTicks = heardFromServer ? 0 : missedTicks + 1;
    heardFromServer = false;
    if (missedTicks > WATCHDOG_SILENT_TICKS) {
        reason = TIMED_OUT;
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

void CAdminClient::SendBytes(const Bytes& datagram) {
    link->Send(datagram.data(), static_cast<int>(datagram.size()));
}

std::string CAdminClient::NameOf(std::uint8_t id) const {
    return roster->NameById(id).value_or("Player #" + std::to_string(id));
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
        if (const auto chat = wire::DecodeChat(view)) {
            std::string line = chat->kind == CHAT_KIND_SERVER
                                   ? "<" + chat->text + ">"
                                   : NameOf(chat->sender) + ": " + chat->text;
            QueueLog(std::move(line), ChatColour(chat->kind));
        }
        break;
    case MSG_PING:
        SendBytes(wire::EncodePong());
        break;
    case MSG_REFUSED:
        if (const auto code = wire::DecodeRefused(view)) {
            const wire::Refusal refusal = wire::RefusalFor(*code);
            // The box runs nested ticks; nothing read from the datagram is used after it.
            if (!refusal.box.empty()) {
                ShowBox(std::string(refusal.box));
            }
            reason = std::string(refusal.reason);
            reasonPending = true;
            Disconnect();
        }
        break;
    case MSG_PLAYER_JOIN:
        if (const auto join = wire::DecodePlayerJoin(view)) {
            if (roster->GetCount() < MAX_ROSTER) {
                roster->Add(join->id, join->name);
                listDirty = true;
            }
            QueueLog(NameOf(join->id) + " has joined the game.", COLOUR_GREEN);
        }
        break;
    case MSG_PLAYER_LEAVE:
        if (const auto leave = wire::DecodePlayerLeave(view)) {
            QueueLog(NameOf(leave->id) + LeaveText(leave->reason), COLOUR_GREEN);
            roster->RemoveById(leave->id);
            listDirty = true;
        }
        break;
    case MSG_DEATH:
        if (const auto death = wire::DecodeDeath(view)) {
            std::string line;
            if (!roster->NameById(death->killer)) {
                line = NameOf(death->victim) + " died.";
            } else if (death->killer == death->victim) {
                line = NameOf(death->victim) + " killed himself.";
            } else {
                line = NameOf(death->killer) + " killed " + NameOf(death->victim) + ".";
            }
            QueueLog(std::move(line), COLOUR_RED);
        }
        break;
    case MSG_PLAYER_VALUE:
        if (const auto update = wire::DecodePlayerValue(view)) {
            roster->SetValue(update->id, update->value);
            listDirty = true;
        }
        break;
    case MSG_REMOVE_IP_RESULT:
        if (wire::DecodeRemoveIpResult(view) == std::uint8_t{0}) {
            ShowBox("IP could not be removed.");
        }
        break;
    case MSG_LIST_TEXT:
        listText = wire::DecodeListText(view);
        listTextLength = length;
        break;
    case MSG_KILLSERVER:
        if (const auto status = wire::DecodeKillServerStatus(view)) {
            const auto text = wire::KillServerText(*status);
            QueueLog(text ? std::string(*text)
                          : "KILLSERVER: Unknown status " + std::to_string(*status) + ".",
                     COLOUR_DARK_RED);
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
