// What the saved servers add to a login: reading servers.toml (the picker and vyr-cli read it
// whole on start), saving it (the Servers dialog's OK), a password from a command (a shell
// started per login), and a password from the desktop keyring (D-Bus round trips to the Secret
// Service). The keyring figure needs a Secret Service of its own: run the program through
// tests/core/profiles/keyring-session.sh unlocked, as scripts/bench.sh does.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <unistd.h>

#include "core/profiles/Keyring.h"
#include "core/profiles/PasswordCommand.h"
#include "core/profiles/ProfilesToml.h"
#include "core/profiles/ServerProfiles.h"

namespace fs = std::filesystem;

namespace {

ServerProfile Profile(int i) {
    ServerProfile profile;
    profile.name = "server-" + std::to_string(i);
    profile.host = "game" + std::to_string(i) + ".example.org";
    profile.port = 27888;
    profile.user = "admin";
    profile.passwordSource = i % 2 == 0 ? PasswordSource::Keyring : PasswordSource::Command;
    profile.passwordCommand = "pass show game/server-" + std::to_string(i);
    profile.automationFile = "/home/admin/.config/vyr/server-" + std::to_string(i) + ".rules";
    return profile;
}

// A profiles file of `count` servers in a folder of its own, removed at the end.
class ScratchFile {
  public:
    explicit ScratchFile(int count) {
        dir = (fs::temp_directory_path() / "vyr-bench-XXXXXX").string();
        if (::mkdtemp(dir.data()) == nullptr) {
            std::abort();
        }
        path = dir + "/servers.toml";
        CServerProfiles profiles(path);
        for (int i = 0; i < count; ++i) {
            profiles.Add(Profile(i));
        }
        if (!profiles.Save().empty()) {
            std::abort();
        }
    }
    ~ScratchFile() { fs::remove_all(dir); }

    std::string dir;
    std::string path;
};

void BM_LoadProfiles(benchmark::State& state) {
    const ScratchFile file(static_cast<int>(state.range(0)));
    CServerProfiles profiles(file.path);
    for (auto _ : state) {
        const std::string problem = profiles.Load();
        benchmark::DoNotOptimize(problem);
    }
    if (profiles.List().size() != static_cast<std::size_t>(state.range(0))) {
        state.SkipWithError("the file did not read back");
    }
    state.counters["file_bytes"] = static_cast<double>(fs::file_size(file.path));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Format, compare with the disk, write a temporary file, fsync, rename: what OK costs.
void BM_SaveProfiles(benchmark::State& state) {
    const ScratchFile file(static_cast<int>(state.range(0)));
    CServerProfiles profiles(file.path);
    profiles.Load();
    for (auto _ : state) {
        if (!profiles.Save().empty()) {
            state.SkipWithError("not saved");
            break;
        }
    }
}

// Starting the command to holding its first line, as the caller's loop sees it.
void BM_PasswordCommand(benchmark::State& state) {
    for (auto _ : state) {
        CPasswordCommand command("printf 'hunter2\\n'");
        pollfd ready{command.ReadyFd(), POLLIN, 0};
        ::poll(&ready, 1, 60000);
        if (!command.TakeAnswer().value().problem.empty()) {
            state.SkipWithError("the command failed");
            break;
        }
    }
}

// Asking to holding the password: the worker's D-Bus calls and the hand-over to the caller.
void BM_KeyringLookup(benchmark::State& state) {
    const char* session = std::getenv("VYR_TEST_KEYRING");
    if (session == nullptr || std::string(session) != "unlocked") {
        state.SkipWithError("needs a Secret Service of its own: run through "
                            "tests/core/profiles/keyring-session.sh unlocked");
        return;
    }
    CKeyring keyring;
    const ServerProfile profile = Profile(1);
    const auto next = [&keyring] {
        pollfd ready{keyring.ReadyFd(), POLLIN, 0};
        ::poll(&ready, 1, 60000);
        return keyring.TakeAnswer().value();
    };
    keyring.Store(profile, "hunter2");
    if (next().outcome != KeyringOutcome::Stored) {
        state.SkipWithError("the password could not be stored");
        return;
    }
    for (auto _ : state) {
        keyring.Lookup(profile);
        if (next().outcome != KeyringOutcome::Found) {
            state.SkipWithError("the password was not found");
            break;
        }
    }
    keyring.Clear(profile);
    next();
}

} // namespace

BENCHMARK(BM_LoadProfiles)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SaveProfiles)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PasswordCommand)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KeyringLookup)->Unit(benchmark::kMillisecond)->UseRealTime();
