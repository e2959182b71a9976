// vyr-demo-server: one thread, one UDP socket, a poll() loop whose short timeout drives the
// game clock.

#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <map>
#include <random>

#include "tools/demo-server/AdminServer.h"
#include "tools/demo-server/DatagramSocket.h"
#include "tools/demo-server/Options.h"
#include "tools/demo-server/PlayerSimulation.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int TICK_MS = 10;
// Bounds the work one tick spends on inbound datagrams, so a flood cannot stall the game.
constexpr int MAX_DATAGRAMS_PER_TICK = 1000;
// The largest UDP payload; longer reads are impossible, so nothing is ever cut.
constexpr std::size_t RECEIVE_BUFFER = 65536;
// A loop that fell behind by more than this drops the backlog instead of bursting.
constexpr double MAX_BACKLOG_S = 0.1;

volatile sig_atomic_t stopSignal = 0;

void OnStopSignal(int signal) {
    stopSignal = signal;
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: poll() returns at once
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// Turns the event rate into whole events per tick; the fractions carry over to the next tick.
class EventPacer {
  public:
    explicit EventPacer(double rate) : rate(rate) {}

    void Restart(Clock::time_point now) {
        last = now;
        credit = 0;
    }

    long Due(Clock::time_point now) {
        credit += rate * std::chrono::duration<double>(now - last).count();
        credit = std::min(credit, rate * MAX_BACKLOG_S + 1);
        last = now;
        const double due = std::floor(credit);
        credit -= due;
        return static_cast<long>(due);
    }

  private:
    double rate;
    double credit = 0;
    Clock::time_point last;
};

int Run(const Options& options) {
    DatagramSocket socket;
    if (const std::string error = socket.Open(options.bindAddress, options.port); !error.empty()) {
        std::cerr << "vyr-demo-server: " << error << '\n';
        return 1;
    }
    const std::uint32_t seed = options.seed.value_or(std::random_device{}());
    PlayerSimulation game(options.players, seed);
    AdminServer server(options, socket, game, std::cout);
    std::cout << "listening on " << socket.LocalEndpoint().ToString() << '\n'
              << "credentials: user " << options.user << ", password " << options.password << '\n'
              << "game: " << options.players << " players, " << options.rate << " events/s, seed "
              << seed << std::endl;

    std::vector<std::uint8_t> buffer(RECEIVE_BUFFER);
    EventPacer pacer(options.rate);
    long long eventsSent = 0;
    std::map<int, long long> sentByType; // lets a client's tests account for every event
    Clock::duration loggedInTime{};
    Clock::time_point previous = Clock::now();
    pacer.Restart(previous);

    while (stopSignal == 0 && !server.ExitRequested()) {
        pollfd waiting{socket.Handle(), POLLIN, 0};
        poll(&waiting, 1, TICK_MS);
        const Clock::time_point now = Clock::now();
        Endpoint from;
        for (int i = 0; i < MAX_DATAGRAMS_PER_TICK; ++i) {
            const std::optional<std::size_t> size =
                socket.ReceiveFrom(buffer.data(), buffer.size(), from);
            if (!size) {
                break;
            }
            server.OnDatagram(from, buffer.data(), *size, now);
        }
        server.OnTick(now);
        // The game runs only while an admin watches, so a seed replays the same game to them.
        if (server.LoggedIn()) {
            loggedInTime += now - previous;
            for (long due = pacer.Due(now); due > 0; --due) {
                const Bytes event = game.NextEvent();
                if (server.SendEvent(event)) {
                    ++eventsSent;
                    ++sentByType[static_cast<std::int8_t>(event[0])];
                }
            }
        } else {
            pacer.Restart(now);
        }
        previous = now;
    }

    server.AnnounceShutdown();
    const double seconds = std::chrono::duration<double>(loggedInTime).count();
    std::cout << "stopped: " << eventsSent << " events sent in " << seconds << " s logged in";
    if (seconds > 0) {
        std::cout << " (" << static_cast<long long>(eventsSent / seconds) << "/s)";
    }
    std::cout << std::endl << "events by type:";
    for (const auto& [type, count] : sentByType) {
        std::cout << ' ' << type << '=' << count;
    }
    std::cout << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const ParsedCommandLine parsed =
        ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
    case ParsedCommandLine::Action::Help:
        std::cout << HelpText();
        return 0;
    case ParsedCommandLine::Action::Version:
        std::cout << "vyr-demo-server " << VYR_VERSION << '\n';
        return 0;
    case ParsedCommandLine::Action::Error:
        std::cerr << "vyr-demo-server: " << parsed.error << "\nTry 'vyr-demo-server --help'.\n";
        return 2;
    case ParsedCommandLine::Action::Run:
        break;
    }
    InstallSignalHandlers();
    return Run(parsed.options);
}
