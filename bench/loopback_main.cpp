// bench_loopback: the highest rate of realistic server datagrams that the admin client takes
// from loopback without losing one, polled every 50 ms only (as the window once polled it) and
// drained on arrival with that poll as backstop (as the window drains it now), the same with the
// player memory recording every event, and a plain receive loop on the same machine in the same
// run.
//
//   bench_loopback [--seconds S] [--receive-buffer BYTES] [--max-rate R] [--client-at RATE]
//                  [--only arrival]
//
// --client-at runs one trial of the client drained on arrival at that rate and nothing else (for
// a profiler). --only arrival searches only the two clients drained on arrival, recording and
// not, side by side; with --client-at, it runs them in alternating trials at that rate.
//
// For each receiver the rate doubles from 1,000/s until a trial loses datagrams, then a
// bisection narrows the step to 5 %, and the rate found must pass three more trials; the figure
// is the lowest rate the sender achieved in those. A rate that the sender itself cannot reach
// ends the search: the receiver then kept up with all this sender can send, and the figure is a
// lower bound.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/ReceiverTrials.h"

namespace {

using Trial = TrialResult (*)(const PreparedStream&, const TrialSettings&);

constexpr int PLAYERS = 64;
constexpr double START_RATE = 1000;
constexpr double PRECISION = 0.05;
constexpr int CONFIRMATIONS = 3;

struct Options {
    double seconds = 3;
    int receiveBuffer = 0;
    double maxRate = 2e6;
    double clientAt = 0;
    bool onlyArrival = false;
};

struct Found {
    double rate = 0;
    bool senderBound = false; // the sender could not go faster: a lower bound
};

enum class Outcome { Lossless, Loss, SenderTooSlow };

struct Tried {
    Outcome outcome;
    double achievedRate;
};

Tried Try(const char* name, Trial trial, const PreparedStream& stream, TrialSettings settings,
          double rate) {
    settings.rate = rate;
    const TrialResult r = trial(stream, settings);
    std::printf("  %-6s offered %8.0f/s  sent %8.0f/s  arrived %8zu of %8zu  drops %6lu", name,
                rate, r.achievedRate, r.received, r.expected, r.drops);
    if (r.longestPollMs > 0) {
        std::printf("  longest poll %5.1f ms  fullest queue %3.0f %% of %d B", r.longestPollMs,
                    100.0 * static_cast<double>(r.peakQueuedBytes) / r.receiveBuffer,
                    r.receiveBuffer);
    }
    std::printf("%s%s\n", r.Lossless() ? "" : "  LOSS", r.unrecorded ? " (not all recorded)" : "");
    std::fflush(stdout);
    if (!r.Lossless()) {
        return {Outcome::Loss, r.achievedRate};
    }
    return {r.achievedRate < 0.97 * rate ? Outcome::SenderTooSlow : Outcome::Lossless,
            r.achievedRate};
}

// Rates are offered rates while searching; the figure found is the lowest rate that the sender
// achieved in the confirming trials.
Found Search(const char* name, Trial trial, const PreparedStream& stream, const Options& o) {
    TrialSettings settings;
    settings.seconds = o.seconds;
    settings.receiveBuffer = o.receiveBuffer;
    const auto attempt = [&](double rate) { return Try(name, trial, stream, settings, rate); };

    double good = 0;
    double bad = START_RATE;
    for (;; bad *= 2) {
        if (bad > o.maxRate) {
            return {good, true};
        }
        const Tried t = attempt(bad);
        if (t.outcome == Outcome::SenderTooSlow) {
            return {t.achievedRate, true}; // the receiver kept up with everything sent
        }
        if (t.outcome == Outcome::Loss) {
            break;
        }
        good = bad;
    }
    for (;;) {
        while (good > 0 && (bad - good) / good > PRECISION) {
            const double middle = (good + bad) / 2;
            if (attempt(middle).outcome == Outcome::Loss) {
                bad = middle;
            } else {
                good = middle;
            }
        }
        Found found{good, false};
        int passed = 0;
        while (good > 0 && passed < CONFIRMATIONS) {
            const Tried t = attempt(good);
            if (t.outcome == Outcome::Loss) {
                break;
            }
            found.rate = std::min(found.rate, t.achievedRate);
            found.senderBound = found.senderBound || t.outcome == Outcome::SenderTooSlow;
            ++passed;
        }
        if (good <= 0 || passed == CONFIRMATIONS) {
            return found;
        }
        bad = good;
        good *= 1 - 2 * PRECISION;
    }
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            o.seconds = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--receive-buffer") == 0) {
            o.receiveBuffer = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--client-at") == 0) {
            o.clientAt = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--max-rate") == 0) {
            o.maxRate = std::atof(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--only") == 0 &&
                   std::strcmp(argv[i + 1], "arrival") == 0) {
            o.onlyArrival = true;
        } else {
            std::fprintf(stderr, "bench_loopback: unknown option %s\n", argv[i]);
            std::exit(2);
        }
    }
    return o;
}

void Report(const char* key, const Found& f) {
    std::printf("%s=%.0f%s\n", key, f.rate, f.senderBound ? " (sender-bound: at least)" : "");
}

// Recording against not recording, searched in pairs, the order alternating, so that the load
// of a shared machine falls on both alike; the median of the pairs' ratios.
int CompareRecording(const PreparedStream& stream, const Options& options) {
    constexpr int PAIRS = 5;
    std::vector<double> ratios;
    for (int pair = 0; pair < PAIRS; ++pair) {
        Found arrival;
        Found recording;
        if (pair % 2 == 0) {
            arrival = Search("arrive", RunClientOnArrivalTrial, stream, options);
            recording = Search("record", RunClientOnArrivalRecordingTrial, stream, options);
        } else {
            recording = Search("record", RunClientOnArrivalRecordingTrial, stream, options);
            arrival = Search("arrive", RunClientOnArrivalTrial, stream, options);
        }
        std::printf("pair %d:\n", pair + 1);
        Report("client_on_arrival_max_lossless_per_s", arrival);
        Report("client_on_arrival_recording_max_lossless_per_s", recording);
        if (arrival.rate > 0) {
            ratios.push_back(recording.rate / arrival.rate);
            std::printf("recording_to_not_recording_ratio=%.3f\n", ratios.back());
        }
    }
    std::sort(ratios.begin(), ratios.end());
    if (!ratios.empty()) {
        std::printf("\nrecording_to_not_recording_ratio_median=%.3f\n", ratios[ratios.size() / 2]);
    }
    return 0;
}

// The two at one rate, in alternating trials: how many of each lost nothing.
int CompareRecordingAt(const PreparedStream& stream, const Options& options) {
    constexpr int TRIALS = 10;
    TrialSettings settings;
    settings.seconds = options.seconds;
    settings.receiveBuffer = options.receiveBuffer;
    int lossless[2] = {0, 0};
    for (int i = 0; i < 2 * TRIALS; ++i) {
        const bool recording = (i % 4 == 1 || i % 4 == 2); // arrive, record, record, arrive, ...
        const Tried t =
            recording ? Try("record", RunClientOnArrivalRecordingTrial, stream, settings,
                            options.clientAt)
                      : Try("arrive", RunClientOnArrivalTrial, stream, settings, options.clientAt);
        lossless[recording ? 1 : 0] += t.outcome != Outcome::Loss;
    }
    std::printf("\nat %.0f/s: lossless trials not recording %d of %d, recording %d of %d\n",
                options.clientAt, lossless[0], TRIALS, lossless[1], TRIALS);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const Options options = Parse(argc, argv);
    std::printf("trials of %.1f s, %d players; receive buffer %s\n", options.seconds, PLAYERS,
                options.receiveBuffer > 0
                    ? std::to_string(options.receiveBuffer).c_str()
                    : "as the link asks (8 MiB; capped by rmem_max unless privileged)");
    const PreparedStream stream(PLAYERS,
                                static_cast<std::size_t>(options.maxRate * options.seconds), 11);

    if (options.clientAt > 0 && options.onlyArrival) {
        return CompareRecordingAt(stream, options);
    }
    if (options.clientAt > 0) {
        TrialSettings settings;
        settings.seconds = options.seconds;
        settings.receiveBuffer = options.receiveBuffer;
        return Try("arrive", RunClientOnArrivalTrial, stream, settings, options.clientAt).outcome ==
                       Outcome::Lossless
                   ? 0
                   : 1;
    }
    if (options.onlyArrival) {
        return CompareRecording(stream, options);
    }
    const Found arrival = Search("arrive", RunClientOnArrivalTrial, stream, options);
    const Found recording = Search("record", RunClientOnArrivalRecordingTrial, stream, options);
    const Found loop = Search("loop", RunReceiveLoopTrial, stream, options);
    const Found client = Search("client", RunClientTrial, stream, options);
    std::printf("\n");
    Report("receive_loop_max_lossless_per_s", loop);
    Report("client_max_lossless_per_s", client);
    Report("client_on_arrival_max_lossless_per_s", arrival);
    Report("client_on_arrival_recording_max_lossless_per_s", recording);
    if (loop.rate > 0) {
        std::printf("client_to_loop_ratio=%.3f\n", client.rate / loop.rate);
        std::printf("client_on_arrival_to_loop_ratio=%.3f\n", arrival.rate / loop.rate);
    }
    if (arrival.rate > 0) {
        std::printf("recording_to_not_recording_ratio=%.3f\n", recording.rate / arrival.rate);
    }
    return 0;
}
