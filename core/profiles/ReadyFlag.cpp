#include "core/profiles/ReadyFlag.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

CReadyFlag::CReadyFlag() : fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (fd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

CReadyFlag::~CReadyFlag() {
    ::close(fd);
}

void CReadyFlag::Raise() {
    const std::uint64_t one = 1;
    // Only fails when the counter is full, and then the flag is up anyway.
    [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
}

void CReadyFlag::Lower() {
    std::uint64_t count = 0;
    // Fails with EAGAIN when the flag is already down.
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
}
