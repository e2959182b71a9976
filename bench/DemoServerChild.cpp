#include "bench/DemoServerChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const std::string& why) {
    std::fprintf(stderr, "DemoServerChild: %s\n", why.c_str());
    std::abort();
}

} // namespace

DemoServerChild::DemoServerChild(const std::string& executable,
                                 const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        Fail("no pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    std::vector<std::string> all{executable, "--port", "0"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int spawned =
        posix_spawn(&pid, executable.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    output = pipeFds[0];
    if (spawned != 0) {
        Fail("cannot start " + executable);
    }

    // The first line: "listening on 127.0.0.1:PORT".
    std::string text;
    while (text.find('\n') == std::string::npos) {
        pollfd p{output, POLLIN, 0};
        char buffer[256];
        const ssize_t n = ::poll(&p, 1, 5000) > 0 ? ::read(output, buffer, sizeof buffer) : 0;
        if (n <= 0) {
            Fail("the server said nothing");
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    const std::size_t colon = text.find(':');
    if (text.rfind("listening on ", 0) != 0 || colon == std::string::npos) {
        Fail("unexpected first line: " + text);
    }
    port = std::atoi(text.c_str() + colon + 1);
}

DemoServerChild::~DemoServerChild() {
    ::kill(pid, SIGTERM);
    ::waitpid(pid, nullptr, 0);
    ::close(output);
}
