#pragma once
// The first line of a small file that may also be a pipe or FIFO (a password handed over as
// `<(pass show game)` or on /dev/stdin), read without blocking for longer than the caller allows.

#include <chrono>
#include <cstddef>
#include <string>

struct FirstLine {
    enum class Status {
        Ok,
        Missing,       // nothing at the path
        NotFileOrPipe, // a folder, a terminal, a device...
        Unreadable,    // errno told why
        TooLong,       // no line end within the limit
        TimedOut,      // a pipe or FIFO that gave no whole line in time
    };
    Status status = Status::Missing;
    std::string line; // without its "\n" or "\r\n"
    int error = 0;    // with Unreadable
};

// Reads up to the first line end, the end of the data, or `maxBytes`, whichever comes first. A
// pipe or FIFO is waited for at most `wait` in all.
FirstLine ReadFirstLine(const std::string& path, std::size_t maxBytes,
                        std::chrono::milliseconds wait);

// True when `path` and the open descriptor `fd` are the same file (or the same pipe).
bool IsSameFile(const std::string& path, int fd);
