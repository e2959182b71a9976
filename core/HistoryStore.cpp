#include "core/HistoryStore.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "core/WireText.h"
#include "platform/WholeFile.h"

namespace {

// Longer than any line typed (a console line of 128 Latin-1 characters takes up to 256 bytes).
constexpr std::size_t MAX_LINE_BYTES = 512;
constexpr std::size_t MAX_READ = MAX_HISTORY * (MAX_LINE_BYTES + 1);

// Files written by older versions of vyr-cli (libedit's format) start with this line and write
// blanks and backslashes as octal escapes.
constexpr char LEGACY_HEADER[] = "_HiStOrY_V2_";

std::string Unescaped(const std::string& line) {
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const bool octal = line[i] == '\\' && i + 3 < line.size() && line[i + 1] >= '0' &&
                           line[i + 1] <= '3' && line[i + 2] >= '0' && line[i + 2] <= '7' &&
                           line[i + 3] >= '0' && line[i + 3] <= '7';
        if (octal) {
            out += static_cast<char>((line[i + 1] - '0') * 64 + (line[i + 2] - '0') * 8 +
                                     (line[i + 3] - '0'));
            i += 3;
        } else {
            out += line[i];
        }
    }
    return out;
}

// A line as it was typed: UTF-8 that the wire's rule accepts, not blank.
bool IsCommand(const std::string& line) {
    return line.size() <= MAX_LINE_BYTES && line.find_first_not_of(' ') != std::string::npos &&
           TextForWire(line, MAX_LINE_BYTES).Ok();
}

} // namespace

CHistoryStore::CHistoryStore(std::string path) : path(std::move(path)) {
    if (!this->path.empty()) {
        Load();
    }
}

void CHistoryStore::Load() {
    const FileTail tail = ReadFileTail(path, MAX_READ);
    if (tail.status != FileReadStatus::Ok) {
        damaged = tail.status == FileReadStatus::Unusable;
        return;
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < tail.bytes.size()) {
        std::size_t end = tail.bytes.find('\n', start);
        if (end == std::string::npos) {
            end = tail.bytes.size();
        }
        lines.push_back(tail.bytes.substr(start, end - start));
        start = end + 1;
    }
    const bool legacy = !tail.cut && !lines.empty() && lines.front() == LEGACY_HEADER;
    if (tail.cut && !lines.empty()) {
        lines.erase(lines.begin()); // begins mid-line
    } else if (legacy) {
        lines.erase(lines.begin());
    }
    for (std::string& line : lines) {
        if (legacy) {
            line = Unescaped(line);
        }
        if (!IsCommand(line)) {
            damaged = true;
        } else if (commands.empty() || commands.back() != line) {
            commands.push_back(std::move(line));
        }
    }
    if (commands.size() > MAX_HISTORY) {
        commands.erase(commands.begin(),
                       commands.begin() + static_cast<long>(commands.size() - MAX_HISTORY));
    }
}

std::string CHistoryStore::Add(const std::string& command) {
    if (commands.empty() || commands.back() != command) {
        commands.push_back(command);
        if (commands.size() > MAX_HISTORY) {
            commands.erase(commands.begin());
        }
    }
    if (path.empty()) {
        return {};
    }
    std::string text;
    for (const std::string& line : commands) {
        text += line;
        text += '\n';
    }
    if (ReplaceWholeFile(path, text) || std::exchange(saveFailed, true)) {
        return {};
    }
    return path + ": " + std::strerror(errno);
}
