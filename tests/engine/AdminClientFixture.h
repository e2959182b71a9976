#pragma once
// The client with a link and a roster of its own, and a loopback UdpPeer as its server: the
// state machine is driven step by step through OnTimer and HandleDatagram, or through the real
// link where the bytes on the wire matter.

#include <gtest/gtest.h>
#include <poll.h>

#include <string>
#include <vector>

#include "engine/AdminClient.h"
#include "engine/Timers.h"
#include "tests/support/MessageBoxRecorder.h"
#include "tests/support/UdpPeer.h"

class AdminClientTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Valid()); }

    // Afterwards server.SenderPort() is the client's port.
    void Connect() {
        ASSERT_TRUE(client.Connect("127.0.0.1", server.Port(), "admin", "pw"));
        ASSERT_TRUE(server.ReceiveOfType(MSG_LOGIN)); // also lets the server answer
    }

    void LogIn(const std::vector<wire::PlayerEntry>& players = {}) {
        Connect();
        Handle(wire::EncodeWelcome(players));
        ASSERT_TRUE(client.loggedIn);
        client.listDirty = false;
    }

    // The datagram is on the heap at its exact size, so a read past it is a heap overflow.
    void Handle(const Bytes& datagram) {
        client.HandleDatagram(wire::ByteView{datagram.data(), datagram.size()});
    }

    // Sends one datagram and waits (bounded) until it waits in the client's empty socket.
    void SendToClient(const Bytes& datagram) {
        ASSERT_GT(server.Send(datagram), 0);
        ASSERT_TRUE(WaitForLink());
    }

    // True once the link's socket has a datagram or an error waiting.
    bool WaitForLink(int ms = 2000) {
        pollfd waiting{client.link->socketHandle, POLLIN, 0};
        return ::poll(&waiting, 1, ms) > 0;
    }

    // Polls as the window's timer does, waiting (bounded) for the link in between.
    template <typename Done> void PollUntil(Done done) {
        for (int round = 0; round < 100 && !done(); ++round) {
            WaitForLink(20);
            client.OnTimer(TIMER_POLL);
        }
    }

    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            client.OnTimer(TIMER_WATCHDOG);
        }
    }

    bool Idle() const { return !client.loggedIn && !client.loginPending; }

    UdpPeer server;
    MessageBoxRecorder boxes;
    CAdminSocket link;
    CPlayerList roster;
    CAdminClient client{link, roster};
};
