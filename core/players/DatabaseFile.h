#pragma once
// The database file before SQLite sees it, and a damaged one moved out of the way. SQLite opens
// by path and would block on a FIFO or fail obscurely on a folder: the path is checked first,
// without blocking.

#include <cstdint>
#include <string>
#include <sys/types.h>

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
};

struct PreparedFile {
    std::string problem; // empty when the path holds a regular file we may use
    FileIdentity identity;
};

// Makes the folder (0700) and an empty file (0600) when they are missing.
PreparedFile PrepareDatabaseFile(const std::string& path);

// Renames the file to <path>.corrupt-<UTC time> and its write-ahead log along with it; the
// shared-memory index, rebuilt from those two, is removed. Only while `path` is still the file
// that was found damaged: another program may have moved it already. The new name, or empty.
std::string MoveDamagedFileAside(const std::string& path, const FileIdentity& identity,
                                 std::int64_t now);
