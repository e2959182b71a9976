#include "platform/WholeFile.h"

#include <cerrno>
#include <cstdlib>
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
    if (exists && ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
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
        ::unlink(tempName.c_str());
        return false;
    }
    SyncDirectory(dir);
    return true;
}
