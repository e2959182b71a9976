#include "bench/ReceiverTrials.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/players/PlayerRecorder.h"
#include "engine/AdminClient.h"
#include "engine/Timers.h"
#include "tests/support/SocketStats.h"
#include "tests/support/UdpPeer.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the client's link asks for.
constexpr int LINK_RECEIVE_BUFFER = 8 * 1024 * 1024;
constexpr auto POLL_PERIOD = std::chrono::milliseconds(POLL_MS);
constexpr int POLLS_PER_WATCHDOG = WATCHDOG_MS / POLL_MS;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "bench_loopback: %s\n", what);
    std::exit(1);
}

// Asks for the receive buffer as the client's link does: past net.core.rmem_max where the
// process may, else up to it.
void AskLikeTheLink(int fd) {
    const int wanted = LINK_RECEIVE_BUFFER;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted) != 0) {
        (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
    }
}

// The trial's own buffer size, if it has one: asked for as an unprivileged process asks.
void SetReceiveBuffer(int fd, int bytes) {
    if (bytes > 0) {
        (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
}

SocketStats Stats(int fd) {
    const std::optional<SocketStats> stats = StatsOf(fd);
    if (!stats) {
        Fail("the kernel tells nothing of the socket (SO_MEMINFO)");
    }
    return *stats;
}

// A bound loopback socket, or the end of the benchmark.
void CheckValid(const UdpPeer& peer) {
    if (!peer.Valid()) {
        Fail("no loopback socket");
    }
}

void Connect(UdpPeer& from, int toPort) {
    if (!from.ConnectTo(toPort)) {
        Fail("cannot connect a loopback socket");
    }
}

std::size_t Count(const TrialSettings& settings, const PreparedStream& stream) {
    const auto wanted = static_cast<std::size_t>(settings.rate * settings.seconds);
    if (wanted > stream.Size()) {
        Fail("the prepared stream is too short for this rate");
    }
    return wanted;
}

void Finish(TrialResult& r, const SendResult& s, const TrialSettings& settings) {
    r.offeredRate = settings.rate;
    r.sent = s.sent;
    r.sendFailures = s.failed;
    r.achievedRate = s.seconds > 0 ? static_cast<double>(s.sent) / s.seconds : 0;
}

// Logs the client in to `server` with the stream's first roster.
void LogIn(CAdminClient& client, UdpPeer& server, const PreparedStream& stream) {
    CheckValid(server);
    if (!client.Connect("127.0.0.1", server.Port(), "admin", "admin")) {
        Fail("the client's link did not open");
    }
    if (!server.Receive(std::chrono::seconds(2))) {
        Fail("no login arrived");
    }
    Connect(server, server.SenderPort());
    server.Send(wire::EncodeWelcome(stream.welcomePlayers));
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
    while (!client.loggedIn && Clock::now() < deadline) {
        client.OnTimer(TIMER_POLL);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!client.loggedIn) {
        Fail("the client did not log in");
    }
    client.TakeLog();
}

} // namespace

namespace {

// Drains the link each time it becomes readable until `until`, as the window's readiness
// notifier does; log entries are taken after each drain.
void DrainOnArrival(CAdminClient& client, Clock::time_point until, TrialResult& result) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            return;
        }
        pollfd readable{client.link->socketHandle, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left.count())) > 0) {
            client.OnTimer(TIMER_POLL);
            result.received += client.TakeLog().size();
        }
    }
}

// The player memory in a folder of its own, fed by the client as a front end feeds it.
class Recording {
  public:
    explicit Recording(CAdminClient& client) {
        char pattern[] = "/tmp/bench-loopback-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            Fail("no temporary folder");
        }
        dir = pattern;
        PlayerStoreOptions options;
        options.path = dir + "/players.sqlite";
        store = std::make_unique<CPlayerStore>(options);
        recorder = std::make_unique<CPlayerRecorder>(*store, client);
        recorder->OnConnect({"127.0.0.1", 27960}, "admin");
        client.onEvent = [this](const ClientEvent& event) { recorder->OnEvent(event); };
        if (!store->WaitUntilOpen(std::chrono::seconds(10))) {
            Fail("the player memory did not open");
        }
    }
    ~Recording() {
        recorder.reset();
        store.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    void OnTick() { recorder->OnTick(); }
    // Every event written, none dropped for want of room.
    bool KeptEverything() {
        return store->Flush(std::chrono::minutes(2)) && store->TakeProblems().empty();
    }

  private:
    std::string dir;
    std::unique_ptr<CPlayerStore> store;
    std::unique_ptr<CPlayerRecorder> recorder;
};

TrialResult RunClient(const PreparedStream& stream, const TrialSettings& settings, bool onArrival,
                      bool recording = false) {
    const std::size_t count = Count(settings, stream);
    UdpPeer server;
    CAdminClient client;
    const std::unique_ptr<Recording> memory =
        recording ? std::make_unique<Recording>(client) : nullptr;
    LogIn(client, server, stream);
    if (memory) {
        memory->OnTick();
    }
    const int fd = client.link->socketHandle;
    SetReceiveBuffer(fd, settings.receiveBuffer);
    const unsigned long dropsBefore = Stats(fd).drops;

    SendResult sent;
    std::atomic<bool> senderDone{false};
    std::thread sender([&] {
        sent = SendAtRate(server.Fd(), stream, count, settings.rate);
        senderDone = true;
    });

    // The window's poll timer: every 50 ms the client drains the link; the log entries are
    // taken as a refresh tick takes them. Between two ticks the link is drained on arrival, or
    // not at all. After the sender has finished, two poll periods without a datagram end the
    // trial.
    TrialResult result;
    Clock::time_point tick = Clock::now();
    int polls = 0;
    int quietPolls = 0;
    while (quietPolls < 2) {
        tick += POLL_PERIOD;
        client.heardFromServer = false;
        if (onArrival) {
            DrainOnArrival(client, tick, result);
        } else {
            std::this_thread::sleep_until(tick);
        }
        const bool finished = senderDone;
        result.peakQueuedBytes =
            std::max<unsigned long>(result.peakQueuedBytes, Stats(fd).queuedBytes);
        const Clock::time_point pollStart = Clock::now();
        client.OnTimer(TIMER_POLL);
        if (memory) {
            memory->OnTick();
        }
        const double pollMs =
            std::chrono::duration<double, std::milli>(Clock::now() - pollStart).count();
        result.longestPollMs = std::max(result.longestPollMs, pollMs);
        result.received += client.TakeLog().size();
        quietPolls = finished && !client.heardFromServer ? quietPolls + 1 : 0;
        if (++polls % POLLS_PER_WATCHDOG == 0) {
            client.OnTimer(TIMER_WATCHDOG);
        }
    }
    sender.join();
    Finish(result, sent, settings);
    result.expected = stream.LinesUpTo(sent.sent);
    const SocketStats after = Stats(fd);
    result.drops = after.drops - dropsBefore;
    result.receiveBuffer = static_cast<int>(after.receiveBuffer);
    if (memory) {
        client.onEvent = nullptr;
        result.unrecorded = !memory->KeptEverything();
    }
    return result;
}

} // namespace

TrialResult RunClientTrial(const PreparedStream& stream, const TrialSettings& settings) {
    return RunClient(stream, settings, false);
}

TrialResult RunClientOnArrivalTrial(const PreparedStream& stream, const TrialSettings& settings) {
    return RunClient(stream, settings, true);
}

TrialResult RunClientOnArrivalRecordingTrial(const PreparedStream& stream,
                                             const TrialSettings& settings) {
    return RunClient(stream, settings, true, true);
}

TrialResult RunReceiveLoopTrial(const PreparedStream& stream, const TrialSettings& settings) {
    const std::size_t count = Count(settings, stream);
    UdpPeer server;
    UdpPeer receiver;
    CheckValid(server);
    CheckValid(receiver);
    AskLikeTheLink(receiver.Fd());
    SetReceiveBuffer(receiver.Fd(), settings.receiveBuffer);
    Connect(receiver, server.Port());
    Connect(server, receiver.Port());
    const timeval wait{0, 200 * 1000};
    (void)::setsockopt(receiver.Fd(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    const unsigned long dropsBefore = Stats(receiver.Fd()).drops;

    // Receives until the sender has finished and 200 ms pass without a datagram.
    std::atomic<bool> senderDone{false};
    std::size_t received = 0;
    std::thread loop([&] {
        std::uint8_t buffer[MAX_DATAGRAM];
        for (;;) {
            if (::recv(receiver.Fd(), buffer, sizeof buffer, 0) >= 0) {
                ++received;
            } else if (senderDone) {
                return;
            }
        }
    });
    const SendResult sent = SendAtRate(server.Fd(), stream, count, settings.rate);
    senderDone = true;
    loop.join();

    TrialResult result;
    Finish(result, sent, settings);
    result.received = received;
    result.expected = sent.sent;
    const SocketStats after = Stats(receiver.Fd());
    result.drops = after.drops - dropsBefore;
    result.receiveBuffer = static_cast<int>(after.receiveBuffer);
    return result;
}
