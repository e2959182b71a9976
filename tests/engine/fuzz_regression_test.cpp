// Inputs that client_fuzzer found harmful, replayed as plain steps. The link stays closed: none
// of these needs traffic.

#include "engine/AdminClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/MessageBoxRecorder.h"

namespace {

class FuzzRegressionTest : public ::testing::Test {
  protected:
    void SetUp() override { client.roster->RemoveAll(); }

    void Handle(const Bytes& datagram) {
        const Bytes payload(datagram.begin() + 1, datagram.end());
        client.HandleMessage(static_cast<std::int8_t>(datagram[0]), payload.data(),
                             static_cast<int>(datagram.size()));
    }

    MessageBoxRecorder boxes;
    CAdminClient client;
};

// A server that keeps refusing while the first refusal's box is open used to stack one modal
// box (and its stack frames) per datagram: the nested poll of every box read the next refusal.
TEST_F(FuzzRegressionTest, BoxesNeverStackWhileTheServerKeepsRefusing) {
    client.loginPending = true;
    boxes.insideNextBox = [&] {
        for (int i = 0; i < 100; ++i) {
            Handle(wire::EncodeRefused(4));
            Handle(wire::EncodeRemoveIpResult(0));
        }
    };
    Handle(wire::EncodeRefused(0));
    EXPECT_EQ(boxes.texts, std::vector<std::string>{"Another player is using this nick."});
    EXPECT_EQ(client.reason, "Nick already in use."); // the outer refusal acts last
    EXPECT_TRUE(client.reasonPending);
    EXPECT_FALSE(client.loggedIn || client.loginPending);

    // Once that box is closed, the next one shows again.
    Handle(wire::EncodeRemoveIpResult(0));
    EXPECT_EQ(boxes.texts.size(), 2u);
}

} // namespace
