// Inputs that client_fuzzer found harmful, replayed as plain steps. The link stays closed: none
// of these needs traffic.

#include "engine/AdminClient.h"

#include <gtest/gtest.h>

#include "tests/support/MessageBoxRecorder.h"

namespace {

void Handle(CAdminClient& client, const Bytes& datagram) {
    client.HandleMessage(static_cast<std::int8_t>(datagram[0]), datagram.data() + 1,
                         static_cast<int>(datagram.size()));
}

// A server that keeps refusing while the first refusal's box is open used to stack one modal
// box (and its stack frames) per datagram: the nested poll of every box read the next refusal.
TEST(FuzzRegression, BoxesNeverStackWhileTheServerKeepsRefusing) {
    MessageBoxRecorder boxes;
    CAdminClient client;
    client.loginPending = true;
    boxes.insideNextBox = [&] {
        for (int i = 0; i < 100; ++i) {
            Handle(client, wire::EncodeRefused(4));
            Handle(client, wire::EncodeRemoveIpResult(0));
        }
    };
    Handle(client, wire::EncodeRefused(0));
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Another player is using this nick."});
    EXPECT_EQ(client.reason, "Nick already in use."); // the outer refusal acts last
    EXPECT_TRUE(client.reasonPending && !client.loggedIn && !client.loginPending);
    Handle(client, wire::EncodeRemoveIpResult(0)); // once that box is closed, the next one shows
    EXPECT_EQ(boxes.texts.size(), 2u);
}

} // namespace
