#pragma once
// A full disk without root: while the object lives, writes that would take a file past `bytes`
// fail with EFBIG (SIGXFSZ ignored), as they fail with ENOSPC on a full disk. Set in this process,
// as a process running Qt is not safely forked.

#include <signal.h>
#include <sys/resource.h>

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGXFSZ, &ignore, &signalBefore);
        const rlimit low{bytes, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &low);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before);
        sigaction(SIGXFSZ, &signalBefore, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit before{};
    struct sigaction signalBefore {};
};
