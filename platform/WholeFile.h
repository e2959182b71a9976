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

// At most the last `maxBytes` of a regular file; `cut` when the file was longer. Never blocks.
struct FileTail {
    FileReadStatus status = FileReadStatus::Missing;
    std::string bytes;
    bool cut = false;
};
FileTail ReadFileTail(const std::string& path, std::size_t maxBytes);

// Appends all of `bytes` to the regular file at `path`, creating it 0600. Never blocks on a FIFO
// or device in its place, which is refused. False, with errno telling why, on any failure.
bool AppendToFile(const std::string& path, std::string_view bytes);

// Replaces the file with `bytes` through a synced temporary file renamed over it, so a crash
// leaves either the old or the new file. A symlink is followed, not replaced. A new file gets
// mode 0600 and missing parent directories 0700; an existing file keeps its mode. An existing
// file without write permission (for this user, or for anyone) is not replaced, nor anything that
// is not a regular file (a FIFO, a device). False, with the file unchanged and errno telling why,
// on any failure.
bool ReplaceWholeFile(const std::string& path, std::string_view bytes);

// Why a read or write of `path` failed with `error`, in words for the user: "not a regular file"
// when something else stands there (a FIFO, a folder, a device), else the system's own text.
std::string FileFailureText(const std::string& path, int error);
