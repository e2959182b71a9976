#include "core/players/DatabaseFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/WholeFile.h"

namespace {

std::string Reason(int error) {
    return std::strerror(error);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

PreparedFile PrepareDatabaseFile(const std::string& path) {
    PreparedFile file;
    if (path.empty()) {
        file.problem = "there is no home folder to keep it in";
        return file;
    }
    const std::string dir = std::filesystem::path(path).parent_path().string();
    if (!MakePrivateDirectories(dir)) {
        file.problem = "cannot make the folder " + dir + ": " + Reason(errno);
        return file;
    }
    // O_NONBLOCK: a FIFO standing at the path must not wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                    0600);
    }
    if (fd < 0) {
        file.problem = errno == EISDIR ? "it is not a regular file" : Reason(errno);
        return file;
    }
    struct stat info {};
    const bool statted = ::fstat(fd, &info) == 0;
    const int statError = errno;
    ::close(fd);
    if (!statted) {
        file.problem = Reason(statError);
    } else if (!S_ISREG(info.st_mode)) {
        file.problem = "it is not a regular file";
    } else {
        file.identity = {info.st_dev, info.st_ino};
    }
    return file;
}

std::string MoveDamagedFileAside(const std::string& path, const FileIdentity& identity,
                                 std::int64_t now) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_dev != identity.device ||
        info.st_ino != identity.inode) {
        return {};
    }
    const std::time_t seconds = static_cast<std::time_t>(now);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
    std::string aside = path + ".corrupt-" + stamp;
    for (int n = 2; Exists(aside) || Exists(aside + "-wal"); ++n) {
        aside = path + ".corrupt-" + stamp + "-" + std::to_string(n);
    }
    if (::rename(path.c_str(), aside.c_str()) != 0) {
        return {};
    }
    // The log belongs to the damaged file: left behind, it would be replayed into the new one.
    // Should it refuse to move, both stay where they were.
    if (::rename((path + "-wal").c_str(), (aside + "-wal").c_str()) != 0 && errno != ENOENT) {
        ::rename(aside.c_str(), path.c_str());
        return {};
    }
    ::unlink((path + "-shm").c_str());
    return aside;
}
