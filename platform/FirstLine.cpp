#include "platform/FirstLine.h"

#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/SecretMemory.h"

namespace {

using Clock = std::chrono::steady_clock;

FirstLine Failed(FirstLine::Status status, int error = 0) {
    FirstLine result;
    result.status = status;
    result.error = error;
    return result;
}

} // namespace

FirstLine ReadFirstLine(const std::string& path, std::size_t maxBytes,
                        std::chrono::milliseconds wait) {
    // O_NONBLOCK: opening a FIFO does not wait for a writer, and no read waits for data.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return Failed(errno == ENOENT ? FirstLine::Status::Missing : FirstLine::Status::Unreadable,
                      errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode))) {
        ::close(fd);
        return Failed(FirstLine::Status::NotFileOrPipe);
    }
    const Clock::time_point deadline = Clock::now() + wait;
    FirstLine result;
    result.status = FirstLine::Status::Ok;
    std::string& bytes = result.line;
    bytes.reserve(maxBytes + 1); // never moved, so no copy of a secret is left behind
    while (bytes.size() <= maxBytes && bytes.find('\n') == std::string::npos) {
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, maxBytes + 1 - bytes.size()));
        if (n > 0) {
            bytes.append(chunk, static_cast<std::size_t>(n));
            ::explicit_bzero(chunk, sizeof chunk);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN) {
            result.status = FirstLine::Status::Unreadable;
            result.error = errno;
            break;
        }
        // A FIFO that no writer has opened yet reads as ended too: wait for a writer then.
        if (n == 0 && (S_ISREG(info.st_mode) || !bytes.empty())) {
            break;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) == 0) {
            result.status = FirstLine::Status::TimedOut;
            break;
        }
        if ((readable.revents & (POLLIN | POLLHUP)) == POLLHUP) {
            break; // the writer went away without a word
        }
    }
    ::close(fd);
    const std::size_t end = bytes.find('\n');
    if (result.status == FirstLine::Status::Ok && end == std::string::npos &&
        bytes.size() > maxBytes) {
        result.status = FirstLine::Status::TooLong;
    }
    if (result.status != FirstLine::Status::Ok) {
        Wipe(bytes);
        return result;
    }
    // Cut in place: the bytes after the line are overwritten before they are dropped.
    const std::size_t size = end == std::string::npos ? bytes.size() : end;
    ::explicit_bzero(bytes.data() + size, bytes.size() - size);
    bytes.resize(size);
    if (!bytes.empty() && bytes.back() == '\r') {
        bytes.back() = '\0';
        bytes.pop_back();
    }
    return result;
}

bool IsSameFile(const std::string& path, int fd) {
    struct stat a {
    }, b{};
    return ::stat(path.c_str(), &a) == 0 && ::fstat(fd, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}
