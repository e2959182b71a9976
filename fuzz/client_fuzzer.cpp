// Drives CAdminClient the way a hostile server and a long-running window would: the input is a
// script of steps (datagrams, timer ticks, kick and ban at any position, the window's refresh,
// login-state changes), and message boxes run nested steps of their own, as the modal loop does.
// After every step the client's mailboxes and the roster must still be sound; abort() if not.
//
// Script (bytes; a read past the input's end gives 0):
//   step     = op:u8, by op % 6:
//     0 datagram  len:u16le (% 1025) bytes     handed to HandleDatagram
//     1 tick      t:u8                          OnTimer(1224 + t % 4)
//     2 kick      position:i32le
//     3 ban       position:i32le
//     4 refresh                                 the window's 1225 tick: empties the mailboxes
//     5 state     s:u8                          s % 3: Idle, Logging in, Logged in
//   in a box = up to 4 actions a:u8, by a % 4: 0 close the box, 1 tick t:u8, 2 datagram, 3 refresh

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <sys/socket.h>

#include "engine/AdminClient.h"
#include "engine/PrintableText.h"
#include "engine/Timers.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzScript.h"
#include "platform/MessageBox.h"
#include "tests/support/UdpPeer.h"

namespace {

constexpr int BOX_ACTIONS = 4;

bool IsLogColour(COLORREF c) {
    return c == COLOUR_BLACK || c == COLOUR_DARK_RED || c == COLOUR_RED || c == COLOUR_BROWN ||
           c == COLOUR_GREEN || c == COLOUR_BLUE;
}

bool IsBoxText(const std::string& text) {
    static const char* const BOX_TEXTS[] = {
        "Another player is using this nick.",
        "Your address is banned from the server.",
        "Another player is already connected from this IP.",
        "Invalid username or password.",
        "Disconnected: server shutdown.",
        "Disconnected: Incompatible version.",
        "IP could not be removed.",
    };
    for (const char* known : BOX_TEXTS) {
        if (text == known) {
            return true;
        }
    }
    return false;
}

using Datagram = UdpPeer::Bytes;

// The far end of the client's link: it never answers, so no real traffic reaches the client,
// yet every datagram the client sends can be inspected.
UdpPeer& Sink() {
    static UdpPeer sink;
    static const bool ready = [] {
        CHECK(sink.Valid());
        const int buffer = 4 * 1024 * 1024;
        (void)::setsockopt(sink.Fd(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        return true;
    }();
    (void)ready;
    return sink;
}

// Every datagram that `sender` (a socket connected to the sink) sent since the last flush, in
// order: a marker sent after them through `sender` ends the read.
std::vector<Datagram> Flush(UdpPeer& sink, int sender) {
    // Type byte 0xFE and a tail no client datagram carries.
    static const Datagram MARKER = {0xFE, 'v', 'y', 'r', '-', 'f', 'l', 'u', 's', 'h'};
    CHECK(::send(sender, MARKER.data(), MARKER.size(), 0) == static_cast<ssize_t>(MARKER.size()));
    std::vector<Datagram> received;
    for (;;) {
        std::optional<Datagram> datagram = sink.Receive(UdpPeer::Ms(5000));
        CHECK(datagram.has_value());
        if (*datagram == MARKER) {
            return received;
        }
        received.push_back(std::move(*datagram));
    }
}

class Run {
  public:
    Run(const std::uint8_t* data, std::size_t size, UdpPeer& sink)
        : script(data, size), sink(sink) {
        client.roster->RemoveAll();
        OpenLink();
    }

    void Play() {
        while (!script.AtEnd()) {
            switch (script.Byte() % 6) {
            case 0:
                HandDatagram();
                break;
            case 1:
                Tick();
                break;
            case 2:
                KickOrBan(MSG_KICK, script.Int32());
                break;
            case 3:
                KickOrBan(MSG_BAN, script.Int32());
                break;
            case 4:
                Refresh();
                break;
            case 5:
                SetLoginState(script.Byte() % 3);
                break;
            }
            CheckInvariants();
            CheckUnasked(sink.Drain());
        }
    }

    // The message box: its text must be one the protocol defines, and while it is open the
    // script's ticks, datagrams and refreshes arrive, as they do in the modal loop.
    void ShowBox(const std::string& text) {
        CHECK(IsBoxText(text));
        // A flood of refusals must not stack boxes without bound: the client shows one at a time.
        CHECK(!boxOpen);
        boxOpen = true;
        for (int i = 0; i < BOX_ACTIONS; ++i) {
            const int action = script.Byte() % 4;
            if (action == 0) {
                break;
            }
            if (action == 1) {
                Tick();
            } else if (action == 2) {
                HandDatagram();
            } else {
                Refresh();
            }
            CheckInvariants();
        }
        boxOpen = false;
    }

  private:
    void OpenLink() {
        if (!client.link->isOpen) {
            CHECK(client.link->Open("127.0.0.1", sink.Port()));
        }
    }

    void HandDatagram() {
        const std::size_t wanted = script.Uint16() % (MAX_DATAGRAM + 1);
        std::size_t length = 0;
        const std::uint8_t* bytes = script.Take(wanted, length);
        // A buffer of exactly the datagram's size: any read past it is caught.
        const std::unique_ptr<std::uint8_t[]> datagram(new std::uint8_t[length]);
        std::memcpy(datagram.get(), bytes, length);
        const std::int8_t type = length > 0 ? static_cast<std::int8_t>(datagram[0]) : 0;
        const std::uint8_t* payload = datagram.get() + (length > 0 ? 1 : 0);

        const std::size_t entriesBefore = client.logEntries.size();
        ++datagramsInFlight;
        ++datagramsSinceTake;
        client.HandleDatagram(wire::ByteView{datagram.get(), length});
        --datagramsInFlight;

        if (type == MSG_CHAT && length >= 3) {
            // Chat shows no box, so nothing nested can have taken or queued entries meanwhile.
            const char* start = reinterpret_cast<const char*>(payload + 2);
            const std::string text(start, std::find(start, start + (length - 3), '\0'));
            CHECK(client.logEntries.size() == entriesBefore + 1);
            // Shown whole, its control characters as visible escapes.
            CHECK(client.logEntries.back().text.find(Printable(text)) != std::string::npos);
        }
    }

    void Tick() {
        const unsigned id = TIMER_CONNECT_TIMEOUT + script.Byte() % 4;
        client.OnTimer(id);
        if (id == TIMER_WATCHDOG) {
            CHECK(client.missedTicks >= 0);
            CHECK(!client.loggedIn || client.missedTicks <= WATCHDOG_SILENT_TICKS);
        }
    }

    void KickOrBan(int type, int position) {
        const bool present = position >= 0 && position < client.roster->GetCount();
        CHECK(client.roster->NameByPosition(position).has_value() == present);
        const std::uint8_t id = client.roster->IdByPosition(position);
        if (!client.link->isOpen) {
            Send(type, position);
            return;
        }
        CheckUnasked(Flush(sink, client.link->socketHandle));
        Send(type, position);
        const std::vector<Datagram> sent = Flush(sink, client.link->socketHandle);
        if (present) {
            CHECK(sent.size() == 1);
            CHECK(sent[0] == Datagram({static_cast<std::uint8_t>(type), id}));
        } else {
            CHECK(sent.empty());
        }
    }

    void Send(int type, int position) {
        if (type == MSG_KICK) {
            client.Kick(position);
        } else {
            client.Ban(position);
        }
    }

    // What the window does on its refresh tick.
    void Refresh() {
        client.OnTimer(TIMER_UI_REFRESH);
        const std::vector<LogEntry> taken = client.TakeLog();
        CHECK(taken.size() <= static_cast<std::size_t>(datagramsSinceTake));
        CHECK(client.logEntries.empty() && !client.logPending);
        // Entries queued from now on come from datagrams that start later or are still running.
        datagramsSinceTake = datagramsInFlight;
        if (client.listDirty) {
            Redraw();
        }
        client.listDirty = false;
        client.listTextLength = 0;
        client.reasonPending = false;
    }

    // The window's player list: every position up to the count holds a player.
    void Redraw() const {
        const CPlayerList& roster = *client.roster;
        for (int position = 0; position < roster.GetCount(); ++position) {
            const std::optional<std::string> name = roster.NameByPosition(position);
            CHECK(name && name->size() <= MAX_NAME);
            roster.IdByPosition(position);
            roster.ValueByPosition(position);
        }
    }

    void SetLoginState(int state) {
        client.loginPending = state >= 1;
        client.loggedIn = state == 2;
        if (state >= 1) {
            OpenLink();
        }
    }

    // Unless the admin asks for something, the client only answers pings and says goodbye.
    static void CheckUnasked(const std::vector<Datagram>& sent) {
        for (const Datagram& datagram : sent) {
            CHECK(datagram == Datagram{MSG_PONG} || datagram == (Datagram{MSG_QUIT, 0}));
        }
    }

    void CheckInvariants() {
        const CPlayerList& roster = *client.roster;
        const int count = roster.GetCount();
        CHECK(count >= 0);
        CHECK(count == roster.ReachableCount());
        if (count == 0) {
            CHECK(roster.AllocatedBlocks() == 0);
        } else {
            CHECK(roster.AllocatedBlocks() * CPlayerList::BLOCK_SIZE >= count);
        }
        CHECK(!roster.NameByPosition(count).has_value());
        CHECK(!roster.NameByPosition(-1).has_value());
        CHECK(count == 0 || roster.NameByPosition(count - 1).has_value());

        CHECK(client.logEntries.size() <= static_cast<std::size_t>(datagramsSinceTake));
        CHECK(client.logPending == !client.logEntries.empty());
        for (const LogEntry& entry : client.logEntries) {
            CHECK(IsLogColour(entry.colour));
        }
        CHECK(client.listText.size() <= MAX_LIST_TEXT);
        CHECK(client.listTextLength == 0 ||
              client.listTextLength == static_cast<int>(client.listText.size()) + 1);
    }

    FuzzScript script;
    UdpPeer& sink;
    CAdminClient client;
    int datagramsSinceTake = 0;
    int datagramsInFlight = 0;
    bool boxOpen = false;
};

Run* current = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetMessageBoxHook([](const std::string& text) {
        CHECK(current != nullptr);
        current->ShowBox(text);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Run run(data, size, Sink());
    current = &run;
    run.Play();
    current = nullptr;
    return 0;
}
