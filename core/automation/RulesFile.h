#pragma once
// The automation rules file: TOML, one per server. Every problem is reported with its place in
// the file, and a file with any problem yields no rules at all.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/automation/AutomationRules.h"

struct RulesFileError {
    std::string path;
    int line = 0; // 0 when the problem is the file as a whole
    int column = 0;
    std::string message;

    // "path:line:column: message", or "path: message" for the whole file.
    std::string ToString() const;
};

struct RulesFileResult {
    std::optional<AutomationRules> rules; // set when the file is sound
    RulesFileError error;
};

constexpr std::size_t MAX_RULES_FILE = 1024 * 1024;
constexpr int MAX_RULES = 200;

// `path` only names the file in errors.
RulesFileResult ParseRulesFile(std::string_view text, const std::string& path);

// Reads a regular file of at most MAX_RULES_FILE bytes without blocking, then parses it.
RulesFileResult LoadRulesFile(const std::string& path);

// Where the rules for a server live by default: $XDG_CONFIG_HOME/vyr/automation/<host>_<port>.toml.
std::string AutomationRulesPath(std::string_view host, int port);
