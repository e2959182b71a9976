#include "platform/WholeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Owns a descriptor so that every early return closes it.
class Fd {
  public:
    explicit Fd(int fd) : fd(fd) {}
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd; }
    bool Close() {
        const int closing = fd;
        fd = -1;
        return ::close(closing) == 0;
    }

  private:
    int fd;
};

// Makes the rename durable; the data itself is already synced, so a failure here loses nothing.
void SyncDirectory(const fs::path& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) {
        ::fsync(fd.get());
    }
}

} // namespace

bool MakePrivateDirectories(const std::string& dir) {
    std::error_code ec;
    const fs::path path(dir);
    if (path.empty() || fs::is_directory(path, ec)) {
        return true;
    }
    if (!MakePrivateDirectories(path.parent_path().string())) {
        return false;
    }
    // Something else already standing there (a file, say) is no folder.
    return ::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && fs::is_directory(path, ec));
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

FileBytes ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    // O_NONBLOCK so that opening a FIFO does not wait for a writer.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        return {errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unusable, {}};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > maxBytes) {
        return {FileReadStatus::Unusable, {}};
    }
    FileBytes result{FileReadStatus::Ok, {}};
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return {FileReadStatus::Unusable, {}};
        }
        if (n == 0) {
            return result;
        }
        // The file may grow while it is read.
        if (result.bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            return {FileReadStatus::Unusable, {}};
        }
        result.bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

FileTail ReadFileTail(const std::string& path, std::size_t maxBytes) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0) {
        return {errno == ENOENT ? FileReadStatus::Missing : FileReadStatus::Unusable, {}, false};
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {FileReadStatus::Unusable, {}, false};
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    FileTail tail{FileReadStatus::Ok, {}, size > maxBytes};
    if (tail.cut && ::lseek(fd.get(), static_cast<off_t>(size - maxBytes), SEEK_SET) < 0) {
        return {FileReadStatus::Unusable, {}, false};
    }
    char buffer[65536];
    while (tail.bytes.size() < maxBytes) {
        const ssize_t n =
            ::read(fd.get(), buffer, std::min(sizeof buffer, maxBytes - tail.bytes.size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return {FileReadStatus::Unusable, {}, false};
        }
        if (n == 0) {
            break;
        }
        tail.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return tail;
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                 0600));
    if (fd.get() < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (!WriteAll(fd.get(), bytes)) {
        return false;
    }
    return fd.Close();
}

bool ReplaceWholeFile(const std::string& path, std::string_view bytes) {
    std::error_code ec;
    fs::path target = fs::canonical(path, ec); // the file behind a symlink
    if (ec) {
        target = path;
    }
    fs::path dir = target.parent_path();
    if (dir.empty()) {
        dir = ".";
    }
    if (!MakePrivateDirectories(dir.string())) {
        return false;
    }
    // The rename below would replace a file that may not be written in place: one without any
    // write bit (read-only on purpose; root too leaves it alone) or one this user may not write.
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (exists && ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
        errno = EACCES;
        return false;
    }
    std::string tempName = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    Fd fd(::mkstemp(tempName.data())); // created with mode 0600
    if (fd.get() < 0) {
        return false;
    }
    const bool ok = (!exists || ::fchmod(fd.get(), existing.st_mode & 07777) == 0) &&
                    WriteAll(fd.get(), bytes) && ::fsync(fd.get()) == 0 && fd.Close() &&
                    ::rename(tempName.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int failure = errno;
        ::unlink(tempName.c_str());
        errno = failure;
        return false;
    }
    SyncDirectory(dir);
    return true;
}

std::string FileFailureText(const std::string& path, int error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        return "not a regular file";
    }
    return std::strerror(error);
}
