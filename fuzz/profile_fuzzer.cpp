// Feeds arbitrary bytes to the INI reader and writer as a settings file: every read must be
// safe, a written value must read back exactly (also through names padded with blanks), and a
// write must leave every other key as it was and change at most the inside of one line. Section
// and key names come from the file's own lines, which end at CR LF, LF or a lone CR, as well as
// the program's own; a repeated section yields its names again. abort() on a violation.

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "platform/PrivateProfile.h"

namespace {

using Name = std::pair<std::string, std::string>; // section, key

constexpr std::size_t MAX_DERIVED_NAMES = 24;
// A fallback no file line can yield: it holds a line break.
const std::string MISSING = "\n(missing)\n";

std::string g_dir;
std::string g_path;

bool IsBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string Trim(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string Fold(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool SameName(const Name& a, const Name& b) {
    return Fold(a.first) == Fold(b.first) && Fold(a.second) == Fold(b.second);
}

// A name the writer can be asked for: one line, no blanks at its ends, not a comment or header.
bool Writable(const Name& name) {
    for (const std::string* part : {&name.first, &name.second}) {
        if (part->empty() || *part != Trim(*part) ||
            part->find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
            return false;
        }
    }
    const char lead = name.second[0];
    return name.first.find(']') == std::string::npos &&
           name.second.find('=') == std::string::npos && lead != ';' && lead != '[';
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// True when `after` differs from `before` only inside one line of `before`: what lies between
// their common start and common end holds no line break of `before`.
bool ChangesAtMostOneLine(const std::string& before, const std::string& after) {
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head < shorter && before[head] == after[head]) {
        ++head;
    }
    std::size_t tail = 0;
    while (tail < shorter - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
        ++tail;
    }
    return before.substr(head, before.size() - head - tail).find_first_of("\r\n") ==
           std::string::npos;
}

// The program's own names, then (section, key) pairs as the file's lines suggest them.
std::vector<Name> Candidates(const std::vector<std::string>& lines) {
    std::vector<Name> names;
    for (const char* key : {"Username", "Password", "SavePass", "IP", "Port"}) {
        names.emplace_back("Remote Admin", key);
    }
    std::string section;
    for (const std::string& raw : lines) {
        if (names.size() >= 5 + MAX_DERIVED_NAMES) {
            break;
        }
        const std::string line = Trim(raw);
        if (!line.empty() && line[0] == '[') {
            section = Trim(line.substr(1, line.find(']') - 1));
            names.emplace_back(section, "Username");
        } else if (const std::size_t equals = line.find('='); equals != std::string::npos) {
            const std::string key = Trim(line.substr(0, equals));
            names.emplace_back(section, key);
            names.emplace_back("Remote Admin", key);
        }
    }
    return names;
}

// The value to write: the input's last non-empty line, without the NUL bytes that no settings
// value may hold. Blanks and quotes stay: they must survive the round trip.
std::string ValueFrom(const std::vector<std::string>& lines) {
    std::string value;
    for (auto it = lines.rbegin(); it != lines.rend() && value.empty(); ++it) {
        value = *it;
    }
    value.erase(std::remove(value.begin(), value.end(), '\0'), value.end());
    return value;
}

std::string ReadFile() {
    std::ifstream in(g_path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> DirectoryEntries() {
    std::set<std::string> entries;
    if (DIR* dir = opendir(g_dir.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            entries.insert(entry->d_name);
        }
        closedir(dir);
    }
    entries.erase(".");
    entries.erase("..");
    return entries;
}

void RemoveDirectory() {
    std::remove(g_path.c_str());
    rmdir(g_dir.c_str());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vyr-profile-fuzz.XXXXXX";
    CHECK(mkdtemp(pattern.data()) != nullptr);
    g_dir = pattern;
    g_path = g_dir + "/vyr.ini";
    std::atexit(RemoveDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::remove(g_path.c_str());
    if (size > 0) { // an empty input stands for a missing file
        std::ofstream(g_path, std::ios::binary) << input;
    }

    const std::vector<std::string> lines = Lines(input);
    const std::vector<Name> names = Candidates(lines);
    std::map<Name, std::string> before;
    for (const Name& name : names) {
        before[name] = GetPrivateProfileString(name.first, name.second, MISSING, g_path);
    }

    std::vector<Name> targets;
    for (const Name& name : names) {
        if (Writable(name)) {
            targets.push_back(name);
        }
    }
    targets.emplace_back("Fuzz Section", "FuzzKey"); // a section the file may lack
    std::size_t hash = 0;
    for (unsigned char c : input) {
        hash = hash * 31 + c;
    }
    const Name target = targets[hash % targets.size()];
    const std::string value = ValueFrom(lines);
    // The caller's names lose their end blanks: write through padded names now and then.
    const Name padded{" " + target.first + "\t", "\t" + target.second + " "};
    const Name& asked = hash / targets.size() % 2 == 0 ? target : padded;

    CHECK(WritePrivateProfileString(asked.first, asked.second, value, g_path));
    CHECK(ChangesAtMostOneLine(input, ReadFile()));
    CHECK(GetPrivateProfileString(target.first, target.second, MISSING, g_path) == value);
    CHECK(GetPrivateProfileString(padded.first, padded.second, MISSING, g_path) == value);
    for (const auto& [name, old] : before) {
        if (!SameName(name, target)) {
            CHECK(GetPrivateProfileString(name.first, name.second, MISSING, g_path) == old);
        }
    }

    // Writing the value again changes nothing, and no temporary file is left behind.
    const std::string written = ReadFile();
    CHECK(WritePrivateProfileString(target.first, target.second, value, g_path));
    CHECK(ReadFile() == written);
    CHECK(DirectoryEntries() == std::set<std::string>{"vyr.ini"});
    return 0;
}
