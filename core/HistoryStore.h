#pragma once
// The commands an admin sent, kept across runs for Up, Down and Tab: one command a line, UTF-8,
// oldest first, the newest MAX_HISTORY kept. The window and vyr-cli keep files of their own.

#include <cstddef>
#include <string>
#include <vector>

constexpr std::size_t MAX_HISTORY = 1000;

class CHistoryStore {
  public:
    // Loads at most the tail of the file that MAX_HISTORY commands can fill, so a huge or garbled
    // file loads at once; only a regular file is read. `path` empty: this run only.
    explicit CHistoryStore(std::string path);

    const std::vector<std::string>& Commands() const { return commands; }
    // Lines that are no command were left out when the file was read.
    bool LoadedDamaged() const { return damaged; }

    // Records a command (once when sent twice in a row) and replaces the file whole. Returns the
    // reason the first time the file cannot be written (the old file stays), else empty.
    std::string Add(const std::string& command);

  private:
    void Load();

    std::string path;
    std::vector<std::string> commands;
    bool damaged = false;
    bool saveFailed = false;
};
