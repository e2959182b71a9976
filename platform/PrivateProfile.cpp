#include "platform/PrivateProfile.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "platform/WholeFile.h"

namespace {

// A settings file larger than this is not ours: read as missing, never rewritten.
constexpr std::size_t MAX_FILE_BYTES = 1 << 20;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimEnd(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    return TrimEnd(s);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// A value that reading would change (blanks at its ends, or matching outer quotes) is written
// inside double quotes, so that it reads back as written: a password may well look like that.
std::string Stored(std::string_view value) {
    if (Trim(value) != value || Unquote(value) != value) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

struct Line {
    std::string_view text;   // without the line end
    std::string_view ending; // "\r\n", "\n", "\r", or empty on a last line without one
};

std::vector<Line> SplitLines(std::string_view file) {
    std::vector<Line> lines;
    while (!file.empty()) {
        const std::size_t end = std::min(file.find_first_of("\r\n"), file.size());
        const std::size_t endingSize = end == file.size()              ? 0
                                       : file.substr(end, 2) == "\r\n" ? 2
                                                                       : 1;
        lines.push_back({file.substr(0, end), file.substr(end, endingSize)});
        file.remove_prefix(end + endingSize);
    }
    return lines;
}

enum class Kind { Blank, Comment, Section, Key, Other };

struct Entry {
    Kind kind = Kind::Other;
    std::string_view name;  // the section or key name
    std::string_view value; // a key's value, blanks and quotes removed
};

Entry Classify(std::string_view text) {
    const std::string_view t = Trim(text);
    if (t.empty()) {
        return {Kind::Blank, {}, {}};
    }
    if (t.front() == ';') {
        return {Kind::Comment, {}, {}};
    }
    if (t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {Kind::Section, Trim(t.substr(1, close - 1)), {}};
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos || eq == 0) {
        return {};
    }
    return {Kind::Key, Trim(t.substr(0, eq)), Unquote(Trim(t.substr(eq + 1)))};
}

// Where a write puts the key: the line that already holds it, or else the line it goes after.
struct Place {
    std::size_t keyLine = std::string_view::npos;
    std::size_t sectionLastKeyLine = std::string_view::npos; // or the header when it has no keys
};

// Only the first of repeated sections counts, and in it the first of repeated keys.
Place Find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Entry entry = Classify(lines[i].text);
        const bool inSection = place.sectionLastKeyLine != std::string_view::npos;
        if (entry.kind == Kind::Section) {
            if (inSection) {
                break;
            }
            if (SameName(entry.name, section)) {
                place.sectionLastKeyLine = i;
            }
        } else if (entry.kind == Kind::Key && inSection) {
            if (SameName(entry.name, key)) {
                place.keyLine = i;
                break;
            }
            place.sectionLastKeyLine = i;
        }
    }
    return place;
}

// Names (already trimmed) that would not read back as the same section or key, and values that
// would break the line structure, are refused.
bool Writable(std::string_view section, std::string_view key, std::string_view value) {
    const auto hasBreak = [](std::string_view s) {
        return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    };
    const auto cleanName = [&](std::string_view s) { return !s.empty() && !hasBreak(s); };
    return cleanName(section) && section.find(']') == std::string_view::npos && cleanName(key) &&
           key.find('=') == std::string_view::npos && key.front() != ';' && key.front() != '[' &&
           !hasBreak(value);
}

std::string Edit(std::string_view file, std::string_view section, std::string_view key,
                 std::string_view value) {
    std::vector<Line> lines = SplitLines(file);
    // An LF-only file stays LF-only. A lone CR is never written: an LF after it would merge.
    const std::string_view newline = !lines.empty() && lines.front().ending == "\n" ? "\n" : "\r\n";
    const Place place = Find(lines, section, key);
    // An existing key keeps the file's spelling of its name.
    const std::string keyLine = std::string(place.keyLine != std::string_view::npos
                                                ? Classify(lines[place.keyLine].text).name
                                                : key) +
                                "=" + Stored(value);
    const std::string header = "[" + std::string(section) + "]";

    if (place.keyLine != std::string_view::npos) {
        lines[place.keyLine].text = keyLine;
    } else {
        std::vector<Line> added = {{keyLine, newline}};
        std::size_t at = lines.size();
        if (place.sectionLastKeyLine != std::string_view::npos) {
            at = place.sectionLastKeyLine + 1;
        } else {
            added.insert(added.begin(), {header, newline});
        }
        if (at > 0 && lines[at - 1].ending.empty()) {
            lines[at - 1].ending = newline;
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    }

    std::string out;
    for (const Line& line : lines) {
        out.append(line.text).append(line.ending);
    }
    return out;
}

} // namespace

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view fallback, const std::string& path) {
    const FileBytes file = ReadWholeFile(path, MAX_FILE_BYTES);
    if (file.status != FileReadStatus::Ok) {
        return std::string(TrimEnd(fallback));
    }
    const std::vector<Line> lines = SplitLines(file.bytes);
    const Place place = Find(lines, Trim(section), Trim(key));
    if (place.keyLine == std::string_view::npos) {
        return std::string(TrimEnd(fallback));
    }
    return std::string(Classify(lines[place.keyLine].text).value);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path) {
    section = Trim(section);
    key = Trim(key);
    if (!Writable(section, key, value)) {
        return false;
    }
    const FileBytes file = ReadWholeFile(path, MAX_FILE_BYTES);
    if (file.status == FileReadStatus::Unusable) {
        return false;
    }
    const std::string edited = Edit(file.bytes, section, key, value);
    if (file.status == FileReadStatus::Ok && edited == file.bytes) {
        return true;
    }
    return edited.size() <= MAX_FILE_BYTES && ReplaceWholeFile(path, edited);
}
