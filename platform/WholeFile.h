#pragma once
// Whole-file read and replace for small text files that must never be left half written.

#include <cstddef>
#include <string>
#include <string_view>

enum class FileReadStatus {
    Ok,
    Missing,  // nothing at the path
    Unusable, // not a regular file, unreadable, or larger than the limit
};

struct FileBytes {
    FileReadStatus status = FileReadStatus::Missing;
    std::string bytes;
};

// Makes `dir` and its missing parents as folders only the user can enter; true when it exists.
bool MakePrivateDirectories(const std::string& dir);

// Writes all of `bytes` to `fd`, again after an interrupted call; false when it cannot.
bool WriteAll(int fd, std::string_view bytes);

// The file's bytes when it is a regular file of at most `maxBytes`. Never blocks on FIFOs or
// devices.
FileBytes ReadWholeFile(const std::string& path, std::size_t maxBytes);

// Replaces the file with `bytes` through a synced temporary file renamed over it, so a crash
// leaves either the old or the new file. A symlink is followed, not replaced. A new file gets
// mode 0600 and missing parent directories 0700; an existing file keeps its mode. An existing
// file without write permission (for this user, or for anyone) is not replaced. False, with the
// file unchanged, on any failure.
bool ReplaceWholeFile(const std::string& path, std::string_view bytes);
