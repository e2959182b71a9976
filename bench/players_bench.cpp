// bench_players: the player memory (core/players) on a real file. What recording costs the
// event loop and how fast the writer thread commits; search, a player's page and the "Seen"
// lookups on 1,000,000 chat lines; opening a large file against an empty one; file size.
//
//   bench_players [--dir DIR] [--events N] [--lines N] [--runs N] [--only game]
//
// DIR (default: a new folder under /tmp, removed at the end) holds the database files.
// --only game: the game's events and nothing else (for a profiler).

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchRoster.h"
#include "bench/EventStream.h"
#include "core/players/PlayerRecorder.h"
#include "core/players/PlayerStore.h"
#include "tests/support/UdpPeer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const ServerKey SERVER{"game.example.org", 27960};
constexpr std::int64_t START = 1'700'000'000;
constexpr std::size_t CHUNK = 100000; // events between two Flush calls: below the queue's cap

struct Options {
    std::string dir;
    std::size_t events = 1000000;
    std::size_t lines = 1000000;
    int runs = 21;
    bool onlyGame = false;
};

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double ProcessCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double ThreadCpuMs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Main file and its write-ahead log.
double FileMiB(const std::string& path) {
    std::error_code ec;
    std::uintmax_t bytes = std::filesystem::file_size(path, ec);
    bytes = ec ? 0 : bytes;
    const std::uintmax_t wal = std::filesystem::file_size(path + "-wal", ec);
    return static_cast<double>(bytes + (ec ? 0 : wal)) / (1024.0 * 1024.0);
}

struct Spread {
    double median = 0, max = 0;
};

template <typename Run> Spread Time(int runs, Run run) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        run();
        ms.push_back(MsSince(start));
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "bench_players: %s\n", what.c_str());
    std::exit(1);
}

void FlushOrFail(CPlayerStore& store) {
    if (!store.Flush(std::chrono::minutes(5))) {
        Fail("the store did not finish writing");
    }
    for (const std::string& problem : store.TakeProblems()) {
        Fail(problem);
    }
}

// The clock is read on the writer thread too.
using BenchClock = std::atomic<std::int64_t>;

PlayerStoreOptions StoreAt(const std::string& path, BenchClock* now) {
    PlayerStoreOptions options;
    options.path = path;
    options.chatRetentionDays = 0;
    options.clock = [now] { return now->load(); };
    return options;
}

// --- the game's own events through the admin client, recording off and on ---

struct Intake {
    double cpuNsPerEvent = 0;    // the event loop's CPU time per datagram
    double writerNsPerEvent = 0; // the rest of the process's: the writer thread's
    double writtenPerS = 0;      // datagrams handled and committed per second of wall time
    double flushWaitMs = 0;      // waiting at the end of each chunk for the writer, all chunks
};

Intake RunGame(const std::string& path, std::size_t events, bool recording) {
    EventStream stream(64, 11);
    std::vector<Bytes> datagrams;
    datagrams.reserve(events);
    for (std::size_t i = 0; i < events; ++i) {
        datagrams.push_back(stream.Next().datagram);
    }
    BenchClock now{START};
    CPlayerStore store(StoreAt(path, &now));
    UdpPeer server;
    CAdminSocket link;
    CPlayerList roster;
    CAdminClient client(link, roster);
    CPlayerRecorder recorder(store, client);
    if (recording) {
        client.onEvent = [&recorder](const ClientEvent& event) { recorder.OnEvent(event); };
        recorder.OnConnect(SERVER, "admin");
        store.Open();
        if (!store.WaitUntilOpen(10s)) {
            Fail("the store did not open");
        }
    }
    if (!server.Valid() || !client.Connect("127.0.0.1", server.Port(), "admin", "admin")) {
        Fail("no loopback link");
    }
    const Bytes welcome = wire::EncodeWelcome(stream.Players());
    client.HandleDatagram(wire::ByteView{welcome.data(), welcome.size()});
    recorder.OnTick();
    client.TakeLog();

    Intake result;
    double cpu = 0;
    const double processStart = ProcessCpuMs();
    const double threadStart = ThreadCpuMs();
    const Clock::time_point start = Clock::now();
    for (std::size_t first = 0; first < events; first += CHUNK) {
        const double cpuStart = ThreadCpuMs();
        for (std::size_t i = first; i < std::min(events, first + CHUNK); ++i) {
            client.HandleDatagram(wire::ByteView{datagrams[i].data(), datagrams[i].size()});
            if (i % 64 == 0) {
                client.TakeLog();                                 // as a refresh tick takes the log
                now = START + static_cast<std::int64_t>(i / 200); // 200 events a second
            }
        }
        cpu += ThreadCpuMs() - cpuStart;
        server.Drain(); // the pongs
        if (recording) {
            const Clock::time_point wait = Clock::now();
            FlushOrFail(store);
            result.flushWaitMs += MsSince(wait);
        }
    }
    client.Disconnect();
    recorder.OnTick();
    if (recording) {
        FlushOrFail(store);
    }
    const double wallMs = MsSince(start);
    const double others = (ProcessCpuMs() - processStart) - (ThreadCpuMs() - threadStart);
    result.cpuNsPerEvent = cpu * 1e6 / static_cast<double>(events);
    result.writerNsPerEvent = others * 1e6 / static_cast<double>(events);
    result.writtenPerS = static_cast<double>(events) / (wallMs / 1e3);
    return result;
}

// --- 1,000,000 chat lines: search, a player's page, the "Seen" lookups ---

// Words of a made-up language, drawn by Zipf's law as words of real chat are: the first is as
// common as "the", the thousandth rare.
class ChatWords {
  public:
    explicit ChatWords(unsigned seed) : rng(seed) {
        static const char* const SYLLABLES[] = {"ka",  "lo",  "mi",  "ne",  "ru",  "sa",  "te",
                                                "vo",  "bri", "dan", "gor", "hel", "jus", "kor",
                                                "lim", "mar", "nor", "pel", "qua", "ros"};
        const std::size_t n = std::size(SYLLABLES);
        for (std::size_t i = 0; words.size() < 5000; ++i) {
            words.push_back(std::string(SYLLABLES[i % n]) + SYLLABLES[(i / n) % n] +
                            (i >= n * n ? SYLLABLES[(i / n / n) % n] : ""));
        }
        double sum = 0;
        for (std::size_t rank = 1; rank <= words.size(); ++rank) {
            sum += 1.0 / static_cast<double>(rank);
            cumulative.push_back(sum);
        }
    }

    const std::string& Word(std::size_t rank) const { return words[rank - 1]; }

    std::string Line() {
        std::uniform_int_distribution<int> length(2, 9);
        std::uniform_real_distribution<double> pick(0, cumulative.back());
        std::string line;
        for (int i = length(rng); i > 0; --i) {
            const auto at = std::lower_bound(cumulative.begin(), cumulative.end(), pick(rng));
            line += (line.empty() ? "" : " ") +
                    words[static_cast<std::size_t>(at - cumulative.begin())];
        }
        return line;
    }

  private:
    std::mt19937 rng;
    std::vector<std::string> words;
    std::vector<double> cumulative;
};

constexpr int CHATTY_PLAYERS = 5000;
constexpr int REGULAR = 0; // the player with 10,000 lines

std::string PlayerName(int index) {
    return BenchPlayerName(index);
}

struct Corpus {
    double linesPerS = 0;
    double fileMiB = 0;
};

Corpus BuildCorpus(const std::string& path, std::size_t lines, ChatWords& words) {
    BenchClock now{START};
    CPlayerStore store(StoreAt(path, &now));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> anyone(1, CHATTY_PLAYERS - 1);
    const std::size_t everyRegular = lines / 10000; // the regular says one line in this many
    const Clock::time_point start = Clock::now();
    for (std::size_t first = 0; first < lines; first += CHUNK) {
        // A session of the 64 players who speak in this chunk's first line and the regular.
        store.StartSession(SERVER, "admin", {});
        for (std::size_t i = first; i < std::min(lines, first + CHUNK); ++i) {
            const int who = i % everyRegular == 0 ? REGULAR : anyone(rng);
            now = START + static_cast<std::int64_t>(i / 12); // 12 lines a second
            store.Chat(PlayerName(who), 0, words.Line());
        }
        store.EndSession();
        FlushOrFail(store);
    }
    Corpus corpus;
    corpus.linesPerS = static_cast<double>(lines) / (MsSince(start) / 1e3);
    return corpus;
}

// --- opening: in a fresh process each time, as a front end starts ---

struct Opening {
    double callMs = 0;   // constructing the store and Open(): what the front end's thread pays
    double readyMs = 0;  // until the writer thread has the file open and checked
    double lookupMs = 0; // then the first "Seen" lookup of 64 names
};

Opening OpenOnce(const std::string& path, const std::vector<std::string>& names) {
    int pipe[2];
    if (::pipe(pipe) != 0) {
        Fail("no pipe");
    }
    const pid_t child = ::fork();
    if (child == 0) {
        BenchClock now{START + 100000};
        Opening o;
        Clock::time_point start = Clock::now();
        CPlayerStore store(StoreAt(path, &now));
        store.Open();
        o.callMs = MsSince(start);
        store.WaitUntilOpen(60s);
        o.readyMs = MsSince(start);
        start = Clock::now();
        const bool read = store.Records(SERVER, names).Ok();
        o.lookupMs = MsSince(start);
        const bool sent = read && ::write(pipe[1], &o, sizeof o) == sizeof o;
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipe[1]);
    Opening o;
    const bool got = ::read(pipe[0], &o, sizeof o) == sizeof o;
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!got) {
        Fail("the opening child failed");
    }
    return o;
}

Opening MedianOpening(const std::string& path, const std::vector<std::string>& names, int runs) {
    std::vector<Opening> all;
    for (int i = 0; i < runs; ++i) {
        all.push_back(OpenOnce(path, names));
    }
    const auto median = [&](double Opening::*field) {
        std::vector<double> values;
        for (const Opening& o : all) {
            values.push_back(o.*field);
        }
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    return {median(&Opening::callMs), median(&Opening::readyMs), median(&Opening::lookupMs)};
}

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0) {
            o.dir = argv[i + 1];
        } else if (std::strcmp(argv[i], "--events") == 0) {
            o.events = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--lines") == 0) {
            o.lines = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            o.runs = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--only") == 0 && std::strcmp(argv[i + 1], "game") == 0) {
            o.onlyGame = true;
        } else {
            Fail(std::string("unknown option ") + argv[i]);
        }
    }
    o.lines = std::max<std::size_t>(o.lines, 10000);
    o.runs = std::max(o.runs, 1);
    return o;
}

} // namespace

int main(int argc, char** argv) {
    Options options = Parse(argc, argv);
    const bool ownDir = options.dir.empty();
    if (ownDir) {
        char pattern[] = "/tmp/bench-players-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            Fail("no temporary folder");
        }
        options.dir = pattern;
    }
    const std::string gameFile = options.dir + "/game.sqlite";
    const std::string chatFile = options.dir + "/chat.sqlite";
    const std::string emptyFile = options.dir + "/empty.sqlite";

    std::printf("== the game's events through the admin client (%zu, the demo server's mix)\n",
                options.events);
    const Intake off = RunGame(options.dir + "/unused.sqlite", options.events, false);
    const Intake on = RunGame(gameFile, options.events, true);
    const double gameMiB = FileMiB(gameFile);
    std::printf("event loop CPU per datagram, recording off: %.0f ns\n", off.cpuNsPerEvent);
    std::printf("event loop CPU per datagram, recording on:  %.0f ns\n", on.cpuNsPerEvent);
    std::printf("writer thread CPU per datagram: %.0f ns\n", on.writerNsPerEvent);
    std::printf("handled and committed: %.0f events/s (waiting for the writer: %.0f ms)\n",
                on.writtenPerS, on.flushWaitMs);
    std::printf("file: %.1f MiB, %.1f MiB per 1,000,000 events\n", gameMiB,
                gameMiB * 1e6 / static_cast<double>(options.events));

    if (options.onlyGame) {
        return 0;
    }
    std::printf("\n== %zu chat lines of %d players; one of them has %d\n", options.lines,
                CHATTY_PLAYERS, 10000);
    ChatWords words(3);
    const Corpus corpus = BuildCorpus(chatFile, options.lines, words);
    const double chatMiB = FileMiB(chatFile);
    std::printf("written: %.0f lines/s; file %.1f MiB, %.1f MiB per 1,000,000 lines\n",
                corpus.linesPerS, chatMiB, chatMiB * 1e6 / static_cast<double>(options.lines));

    BenchClock now{START + 100000};
    CPlayerStore store(StoreAt(chatFile, &now));
    if (!store.WaitUntilOpen(60s) || store.State() != StoreState::Ready) {
        Fail("the corpus did not open");
    }
    std::vector<std::string> names;
    for (int i = 0; i < 64; ++i) {
        names.push_back(PlayerName(i * 7));
    }
    std::printf("(median and slowest of %d runs, warm)\n", options.runs);
    CSqliteDatabase counter; // how many lines each word is in, for the record
    counter.Open(chatFile, SQLITE_OPEN_READONLY);
    CSqliteStatement count = counter.Prepare("SELECT count(*), count(DISTINCT rowid >> 32) "
                                             "FROM chat_words WHERE chat_words MATCH ?1");
    for (const std::size_t rank : {1, 10, 100, 1000}) {
        const std::string& word = words.Word(rank);
        count.BindText(1, word);
        count.Step();
        const std::int64_t lines = count.Int(0);
        const std::int64_t players = count.Int(1);
        count.Reset();
        std::size_t shown = 0;
        // As the Players window asks: the 500 most recently seen.
        const Spread t =
            Time(options.runs, [&] { shown = store.SearchChat(SERVER, word).value.size(); });
        std::printf("search by the word of rank %4zu (in %6ld lines of %4ld players; %3zu shown): "
                    "%6.2f ms (slowest %.2f)\n",
                    rank, static_cast<long>(lines), static_cast<long>(players), shown, t.median,
                    t.max);
    }
    const Spread nameSearch =
        Time(options.runs, [&] { store.SearchNames(SERVER, PlayerName(123).substr(0, 3)); });
    std::printf("search by name fragment \"%s\": %.2f ms (slowest %.2f)\n",
                PlayerName(123).substr(0, 3).c_str(), nameSearch.median, nameSearch.max);
    std::int64_t total = 0;
    const Spread page = Time(
        options.runs, [&] { total = store.Page(SERVER, PlayerName(REGULAR)).value->chatTotal; });
    std::printf("player's page (%ld lines; the newest 200 of them): %.2f ms (slowest %.2f)\n",
                static_cast<long>(total), page.median, page.max);
    const Spread wholePage = Time(options.runs, [&] {
        store.Page(SERVER, PlayerName(REGULAR), PageQuery{"", 0, 10000, 200});
    });
    std::printf("player's page with all %ld lines: %.2f ms (slowest %.2f)\n",
                static_cast<long>(total), wholePage.median, wholePage.max);
    const Spread filtered = Time(options.runs, [&] {
        store.Page(SERVER, PlayerName(REGULAR), PageQuery{words.Word(10), 0, 200, 200});
    });
    std::printf("player's page filtered by the word of rank 10: %.2f ms (slowest %.2f)\n",
                filtered.median, filtered.max);
    const Spread seen = Time(options.runs, [&] { store.Records(SERVER, names); });
    std::printf("\"Seen\" lookup of 64 names: %.3f ms (slowest %.3f)\n", seen.median, seen.max);

    std::printf("\n== opening, in a fresh process (median of %d)\n", std::min(options.runs, 9));
    {
        BenchClock t{START};
        CPlayerStore empty(StoreAt(emptyFile, &t));
        empty.WaitUntilOpen(10s);
    }
    for (const auto& [label, file] :
         {std::pair("empty", emptyFile), {"1,000,000 lines", chatFile}}) {
        const Opening o = MedianOpening(file, names, std::min(options.runs, 9));
        std::printf("%-16s constructor + Open(): %.3f ms; ready: %.2f ms; first lookup of 64 "
                    "names: %.2f ms\n",
                    label, o.callMs, o.readyMs, o.lookupMs);
    }
    if (ownDir) {
        std::error_code ec;
        std::filesystem::remove_all(options.dir, ec);
    }
    return 0;
}
