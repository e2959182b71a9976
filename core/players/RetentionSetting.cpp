#include "core/players/RetentionSetting.h"

#include <optional>

#include "platform/ConfigPath.h"
#include "platform/WholeFile.h"

namespace {

// The preferences are a few lines; anything far larger is not the window's file.
constexpr std::size_t MAX_PREFERENCES_FILE = 1 << 20;

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<int> Days(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    if (value.empty() || value.size() > 6) {
        return std::nullopt;
    }
    int days = 0;
    for (const char c : value) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        days = days * 10 + (c - '0');
    }
    return days <= MAX_CHAT_RETENTION_DAYS ? std::optional(days) : std::nullopt;
}

} // namespace

int ChatRetentionDaysIn(std::string_view iniText) {
    const std::string_view key = CHAT_RETENTION_KEY;
    const std::string_view section = key.substr(0, key.find('/'));
    const std::string_view name = key.substr(key.find('/') + 1);
    std::string_view current;
    std::optional<int> found;
    while (!iniText.empty()) {
        const std::size_t end = iniText.find('\n');
        const std::string_view line = Trimmed(iniText.substr(0, end));
        iniText.remove_prefix(end == std::string_view::npos ? iniText.size() : end + 1);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            current = line.substr(1, line.size() - 2);
        } else if (const std::size_t eq = line.find('='); current == section &&
                                                          eq != std::string_view::npos &&
                                                          Trimmed(line.substr(0, eq)) == name) {
            found = Days(Trimmed(line.substr(eq + 1)));
        }
    }
    return found.value_or(DEFAULT_CHAT_RETENTION_DAYS);
}

std::string WindowPreferencesPath() {
    return ConfigFilePath("vyr/vyr-admin.conf");
}

int ChatRetentionDays() {
    const FileBytes file = ReadWholeFile(WindowPreferencesPath(), MAX_PREFERENCES_FILE);
    return ChatRetentionDaysIn(file.status == FileReadStatus::Ok ? file.bytes : std::string());
}
