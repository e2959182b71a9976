#include "engine/AdminClient.h"

#include <string.h>

#include <algorithm>
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

event::Departure DepartureOf(std::uint8_t reason) {
    switch (reason) {
    case LEAVE_KICKED:
        return event::Departure::Kicked;
    case LEAVE_TIMED_OUT:
        return event::Departure::TimedOut;
    default:
        return event::Departure::Left;
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
    Bytes login = wire::EncodeLogin(user, password);
    SendBytes(login);
    // The request holds the password: wiped before its memory goes back.
    ::explicit_bzero(login.data(), login.size());
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
    const auto start = std::chrono::steady_clock::now();
    for (int taken = 0; loggedIn || loginPending; ++taken) {
        if (taken >= FULL_BURST && std::chrono::steady_clock::now() - start >= POLL_BUDGET) {
            return;
        }
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
    QueueLog(event.log.text, event.log.colour);
    Emit(std::move(event));
}

void CAdminClient::SendBytes(const Bytes& datagram) {
    link->Send(datagram.data(), static_cast<int>(datagram.size()));
}

// The name as a log line shows it: printable, and "Player #<id>" when no player has the id.
std::string CAdminClient::NameOf(std::uint8_t id) const {
    return Printable(roster->NameById(id).value_or(texts::UnknownPlayer(id)));
}

event::Player CAdminClient::PlayerOf(std::uint8_t id) const {
    return {id, roster->NameById(id).value_or(std::string())};
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
            event::Chat line{std::nullopt, chat->kind, std::move(chat->text)};
            std::optional<std::string> shownSender;
            if (chat->kind != CHAT_KIND_SERVER) {
                line.sender = PlayerOf(chat->sender);
                shownSender = NameOf(chat->sender);
            }
            LogEntry log{texts::ChatText(shownSender, Printable(line.text)),
                         ChatColour(chat->kind)};
            QueueEvent({std::move(line), std::move(log)});
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
            Emit({event::Refused{*code, reason}, {}});
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
            LogEntry log{texts::JoinText(NameOf(join->id)), COLOUR_GREEN};
            join->name.resize(std::min(join->name.size(), MAX_NAME));
            QueueEvent({event::PlayerJoined{{join->id, std::move(join->name)}}, std::move(log)});
        }
        break;
    case MSG_PLAYER_LEAVE:
        if (const auto leave = wire::DecodePlayerLeave(view)) {
            LogEntry log{texts::LeaveText(NameOf(leave->id), leave->reason), COLOUR_GREEN};
            event::PlayerLeft left{PlayerOf(leave->id), DepartureOf(leave->reason), leave->reason};
            roster->RemoveById(leave->id);
            listDirty = true;
            QueueEvent({std::move(left), std::move(log)});
        }
        break;
    case MSG_DEATH:
        if (const auto death = wire::DecodeDeath(view)) {
            event::PlayerDied died{PlayerOf(death->victim), std::nullopt};
            std::optional<std::string> shownKiller;
            if (roster->NameById(death->killer)) {
                died.killer = PlayerOf(death->killer);
                shownKiller = NameOf(death->killer);
            }
            LogEntry log{texts::DeathText(NameOf(death->victim), shownKiller,
                                          death->killer == death->victim),
                         COLOUR_RED};
            QueueEvent({std::move(died), std::move(log)});
        }
        break;
    case MSG_PLAYER_VALUE:
        if (const auto update = wire::DecodePlayerValue(view)) {
            roster->SetValue(update->id, update->value);
            listDirty = true;
            Emit({event::ScoreChanged{PlayerOf(update->id), update->value}, {}});
        }
        break;
    case MSG_REMOVE_IP_RESULT:
        if (const auto result = wire::DecodeRemoveIpResult(view)) {
            event::RemoveIpResult answer{*result != 0, *result};
            if (answer.removed) {
                QueueEvent({answer, {std::string(texts::REMOVE_IP_DONE), COLOUR_BLUE}});
            } else {
                const bool box = !quietRemoveIpFailure; // read first: onEvent may clear it
                Emit({answer, {}});
                if (box) {
                    ShowBox(std::string(texts::REMOVE_IP_FAILED));
                }
            }
        }
        break;
    case MSG_LIST_TEXT:
        listText = wire::DecodeListText(view);
        listTextLength = length;
        if (onEvent) {
            Emit({event::ServerList{wire::SplitListText(listText)}, {}});
        }
        break;
    case MSG_KILLSERVER:
        if (const auto status = wire::DecodeKillServerStatus(view)) {
            const auto answer = static_cast<ShutdownStatus>(*status);
            QueueEvent(
                {event::ShutdownAnswer{answer}, {texts::ShutdownText(answer), COLOUR_DARK_RED}});
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
