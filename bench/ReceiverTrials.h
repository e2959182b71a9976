#pragma once
// One trial of a flood at a fixed rate against a receiver, and whether the receiver took every
// datagram. Three receivers (the second also with the player memory recording): the admin client
// polled every 50 ms only, as the window once polled it; the client drained on arrival with the 50
// ms poll as backstop, as the window drains it now; and a plain blocking receive loop, the most
// this machine's loopback delivers.

#include <cstddef>

#include "bench/RateSender.h"

struct TrialResult {
    double offeredRate = 0;
    double achievedRate = 0; // what the sender managed
    std::size_t sent = 0;
    std::size_t received = 0; // datagrams (loop) or log entries (client) that arrived
    std::size_t expected = 0; // the same, had nothing been lost
    unsigned long drops = 0;  // by the kernel, at the receiver's socket
    std::size_t sendFailures = 0;
    int receiveBuffer = 0; // what the kernel granted the receiver's socket
    // The client's heaviest poll, and the fullest its receive queue was before a poll, in
    // bytes of receive buffer (0 for the loop).
    double longestPollMs = 0;
    unsigned long peakQueuedBytes = 0;
    bool unrecorded = false; // with the player memory on: it could not keep every event
    bool Lossless() const {
        return drops == 0 && received == expected && sendFailures == 0 && !unrecorded;
    }
};

struct TrialSettings {
    double rate = 0;
    double seconds = 3;
    // Receive buffer to ask for with SO_RCVBUF after the receiver's own request (0: keep what
    // that got), to play an unprivileged process or a machine with another net.core.rmem_max.
    int receiveBuffer = 0;
};

TrialResult RunClientTrial(const PreparedStream& stream, const TrialSettings& settings);
TrialResult RunClientOnArrivalTrial(const PreparedStream& stream, const TrialSettings& settings);
// The same with the player memory recording every event into a new file.
TrialResult RunClientOnArrivalRecordingTrial(const PreparedStream& stream,
                                             const TrialSettings& settings);
TrialResult RunReceiveLoopTrial(const PreparedStream& stream, const TrialSettings& settings);
