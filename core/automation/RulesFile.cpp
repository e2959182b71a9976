#include "core/automation/RulesFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <sys/stat.h>
#include <utility>

#include <re2/re2.h>
#include <toml++/toml.h>

#include "core/WireText.h"
#include "platform/ConfigPath.h"
#include "platform/WholeFile.h"

namespace {

constexpr int MAX_NAME_CHARACTERS = 64;
constexpr std::size_t MAX_PATTERN = 1000;
// RE2's budget per pattern for its compiled program and its matching cache; past the cache it
// falls back to a slower scan that is still linear.
constexpr std::int64_t PATTERN_MEMORY = 1 << 20;

constexpr unsigned PLAYER_FIELDS =
    static_cast<unsigned>(TemplateField::Name) | static_cast<unsigned>(TemplateField::Id);
constexpr unsigned EVENT_FIELDS =
    static_cast<unsigned>(TemplateField::Players) | static_cast<unsigned>(TemplateField::Time);

using Keys = std::vector<std::string_view>;
using KeyHints = std::map<std::string_view, const char*>; // a known key -> where it belongs

// A problem found in the file; thrown to leave the parse at once.
struct Problem {
    toml::source_position at;
    std::string message;
};

[[noreturn]] void Fail(const toml::node& node, std::string message) {
    throw Problem{node.source().begin, std::move(message)};
}

std::string Quoted(std::string_view key) {
    return "`" + std::string(key) + "`";
}

// Every key of `table` must be in `allowed`; a key known elsewhere is named with where it goes.
void CheckKeys(const toml::table& table, const char* what, const Keys& allowed,
               const KeyHints& hints) {
    for (auto&& [key, value] : table) {
        if (std::find(allowed.begin(), allowed.end(), key.str()) != allowed.end()) {
            continue;
        }
        const auto hint = hints.find(key.str());
        std::string message =
            hint != hints.end()
                ? Quoted(key.str()) + " has no meaning here: it goes " + hint->second
                : "unknown key " + Quoted(key.str().substr(0, 40)) + " in " + what;
        throw Problem{key.source().begin, std::move(message)};
    }
}

[[noreturn]] void Missing(const toml::table& table, const char* what, std::string_view key,
                          const char* because = nullptr) {
    Fail(table, std::string(what) + " needs " + Quoted(key) + (because ? because : ""));
}

const std::string* TextValue(const toml::table& table, std::string_view key) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return nullptr;
    }
    if (!node->is_string()) {
        Fail(*node, Quoted(key) + " must be text in quotes");
    }
    return &node->as_string()->get();
}

std::optional<int> WholeValue(const toml::table& table, std::string_view key, int lowest,
                              int highest) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    const std::optional<std::int64_t> value = node->value_exact<std::int64_t>();
    if (!value || *value < lowest || *value > highest) {
        Fail(*node, Quoted(key) + " must be a whole number from " + std::to_string(lowest) +
                        " to " + std::to_string(highest));
    }
    return static_cast<int>(*value);
}

std::optional<bool> FlagValue(const toml::table& table, std::string_view key) {
    const toml::node* node = table.get(key);
    if (node == nullptr) {
        return std::nullopt;
    }
    if (!node->is_boolean()) {
        Fail(*node, Quoted(key) + " must be true or false");
    }
    return node->as_boolean()->get();
}

std::optional<CMessageTemplate> TemplateValue(const toml::table& table, std::string_view key,
                                              CMessageTemplate::Use use, unsigned fields) {
    const std::string* text = TextValue(table, key);
    if (text == nullptr) {
        return std::nullopt;
    }
    std::string error;
    std::optional<CMessageTemplate> parsed = CMessageTemplate::Parse(*text, use, fields, error);
    if (!parsed) {
        Fail(*table.get(key), Quoted(key) + ": " + error);
    }
    return parsed;
}

// One of `choices`, named in the error when the value is none of them.
std::string_view ChoiceValue(const toml::table& table, std::string_view key,
                             const std::vector<std::string_view>& choices) {
    const std::string* text = TextValue(table, key);
    if (text != nullptr) {
        for (const std::string_view choice : choices) {
            if (*text == choice) {
                return choice;
            }
        }
    }
    std::string list;
    for (const std::string_view choice : choices) {
        list += std::string(list.empty() ? "" : ", ") + "\"" + std::string(choice) + "\"";
    }
    Fail(*table.get(key), Quoted(key) + " must be one of " + list);
}

bool ReadDigits(std::string_view text, int& value) {
    if (text.empty()) {
        return false;
    }
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    return true;
}

// "H:MM" or "HH:MM", 24-hour.
std::optional<ClockTime> ParseClockTime(std::string_view text) {
    const std::size_t colon = text.find(':');
    ClockTime time;
    if (colon == std::string_view::npos || colon < 1 || colon > 2 || text.size() != colon + 3 ||
        !ReadDigits(text.substr(0, colon), time.hour) ||
        !ReadDigits(text.substr(colon + 1), time.minute) || time.hour > 23 || time.minute > 59) {
        return std::nullopt;
    }
    return time;
}

// "YYYY-MM-DD" of a real day.
std::optional<LocalDate> ParseDate(std::string_view text) {
    LocalDate date;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' ||
        !ReadDigits(text.substr(0, 4), date.year) || !ReadDigits(text.substr(5, 2), date.month) ||
        !ReadDigits(text.substr(8, 2), date.day) || date.year < 1970 || !IsValidDate(date)) {
        return std::nullopt;
    }
    return date;
}

ClockTime ClockTimeValue(const toml::table& table, std::string_view key) {
    const std::optional<ClockTime> time = ParseClockTime(*TextValue(table, key));
    if (!time) {
        Fail(*table.get(key), Quoted(key) + " must be a time of day as \"HH:MM\", like \"04:30\"");
    }
    return *time;
}

std::string RuleName(const toml::table& table, const char* what,
                     std::map<std::string, int>& namesSeen) {
    const std::string* name = TextValue(table, "name");
    if (name == nullptr) {
        Missing(table, what, "name");
    }
    const toml::node& node = *table.get("name");
    const auto characters = std::count_if(name->begin(), name->end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    if (characters == 0 || characters > MAX_NAME_CHARACTERS) {
        Fail(node, "`name` must have 1 to " + std::to_string(MAX_NAME_CHARACTERS) + " characters");
    }
    for (const char c : *name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            Fail(node, "`name` holds a control character");
        }
    }
    const auto [seen, added] = namesSeen.emplace(*name, node.source().begin.line);
    if (!added) {
        Fail(node, "another rule is already called \"" + *name + "\" (line " +
                       std::to_string(seen->second) + ")");
    }
    return *name;
}

const KeyHints SCHEDULE_HINTS = {
    {"min_players", "only with every_minutes"},
    {"minutes_before", "only with countdown"},
    {"shutdown", "only with countdown"},
    {"confirm", "only with countdown and shutdown = true"},
};

void ParseCountdown(const toml::table& table, ScheduleRule& rule) {
    const std::string& target = *TextValue(table, "countdown");
    const std::size_t space = target.find_first_of(" T");
    const std::optional<LocalDate> date =
        space == std::string::npos ? std::nullopt : ParseDate(target.substr(0, space));
    const std::optional<ClockTime> time =
        ParseClockTime(space == std::string::npos ? target : target.substr(space + 1));
    if (!time || (space != std::string::npos && !date)) {
        Fail(*table.get("countdown"), "`countdown` must be a time as \"HH:MM\" (every day) or a "
                                      "day and time as \"YYYY-MM-DD HH:MM\"");
    }
    rule.at = *time;
    rule.onDate = date;

    if (const toml::node* node = table.get("minutes_before")) {
        const toml::array* list = node->as_array();
        if (list == nullptr || list->empty()) {
            Fail(*node, "`minutes_before` must be a list of minutes, like [15, 5, 1]");
        }
        for (const toml::node& item : *list) {
            const std::optional<std::int64_t> minutes = item.value_exact<std::int64_t>();
            if (!minutes || *minutes < 0 || *minutes > 1440) {
                Fail(item, "`minutes_before` holds whole numbers from 0 to 1440");
            }
            if (std::find(rule.minutesBefore.begin(), rule.minutesBefore.end(), *minutes) !=
                rule.minutesBefore.end()) {
                Fail(item, std::to_string(*minutes) + " is in `minutes_before` twice");
            }
            rule.minutesBefore.push_back(static_cast<int>(*minutes));
        }
        std::sort(rule.minutesBefore.rbegin(), rule.minutesBefore.rend());
    }
    rule.shutdown = FlagValue(table, "shutdown").value_or(false);
    const std::optional<bool> confirm = FlagValue(table, "confirm");
    if (rule.shutdown && confirm != true) {
        Fail(confirm ? *table.get("confirm") : *table.get("shutdown"),
             "a shutdown needs `confirm = true` beside it, so that none is asked for by mistake");
    }
    if (confirm && !rule.shutdown) {
        Fail(*table.get("confirm"), "`confirm` goes only with `shutdown = true`");
    }
    const unsigned fields = EVENT_FIELDS | static_cast<unsigned>(TemplateField::Minutes);
    rule.say = TemplateValue(table, "say", CMessageTemplate::Use::ServerLine, fields);
    if (rule.minutesBefore.empty() && !rule.shutdown) {
        Fail(table, "a countdown needs `minutes_before`, `shutdown = true`, or both");
    }
    if (!rule.minutesBefore.empty() && !rule.say) {
        Missing(table, "[[schedule]]", "say", " for the lines of `minutes_before`");
    }
    if (rule.minutesBefore.empty() && rule.say) {
        Fail(*table.get("say"), "`say` needs `minutes_before`: the minutes at which to say it");
    }
}

ScheduleRule ParseSchedule(const toml::table& table, std::map<std::string, int>& namesSeen) {
    static const char* const WHAT = "[[schedule]]";
    ScheduleRule rule;
    rule.name = RuleName(table, WHAT, namesSeen);
    const toml::node* kinds[] = {table.get("every_minutes"), table.get("daily"),
                                 table.get("countdown")};
    const toml::node* kind = nullptr;
    for (const toml::node* each : kinds) {
        if (each != nullptr && kind != nullptr) {
            Fail(*each, "a schedule has only one of `every_minutes`, `daily` and `countdown`");
        }
        kind = each != nullptr ? each : kind;
    }
    Keys allowed = {"name", "enabled", "say"};
    if (kind == kinds[0]) {
        rule.type = ScheduleType::Every;
        allowed.insert(allowed.end(), {"every_minutes", "min_players"});
    } else if (kind == kinds[1]) {
        rule.type = ScheduleType::Daily;
        allowed.push_back("daily");
    } else if (kind == kinds[2]) {
        rule.type = ScheduleType::Countdown;
        allowed.insert(allowed.end(), {"countdown", "minutes_before", "shutdown", "confirm"});
    }
    CheckKeys(table, WHAT, allowed, SCHEDULE_HINTS);
    if (kind == nullptr) {
        Fail(table, "a schedule needs one of `every_minutes`, `daily` and `countdown`");
    }
    rule.enabled = FlagValue(table, "enabled").value_or(true);

    switch (rule.type) {
    case ScheduleType::Every:
        rule.everyMinutes = *WholeValue(table, "every_minutes", 1, 7 * 24 * 60);
        rule.minPlayers = WholeValue(table, "min_players", 0, 255).value_or(0);
        break;
    case ScheduleType::Daily:
        rule.at = ClockTimeValue(table, "daily");
        break;
    case ScheduleType::Countdown:
        ParseCountdown(table, rule);
        return rule;
    }
    rule.say = TemplateValue(table, "say", CMessageTemplate::Use::ServerLine, EVENT_FIELDS);
    if (!rule.say) {
        Missing(table, WHAT, "say", ": the line to say");
    }
    return rule;
}

const std::vector<std::string_view> ACTIONS = {"say", "warn", "kick", "ban", "note", "attention"};
const std::vector<std::string_view> FOLLOW_UPS = {"kick", "ban", "note", "attention"};

RuleAction ActionNamed(std::string_view name) {
    return static_cast<RuleAction>(std::find(ACTIONS.begin(), ACTIONS.end(), name) -
                                   ACTIONS.begin());
}

const KeyHints TRIGGER_HINTS = {
    {"kinds", "only with on = \"chat\""},
    {"warnings", "only with action = \"warn\""},
    {"then", "only with action = \"warn\""},
    {"then_say", "only with action = \"warn\""},
    {"ban_minutes", "only with a ban (as action or then)"},
    {"reason", "only with a kick, a ban or attention (as action or then)"},
    {"note", "only with a note (as action or then)"},
};

unsigned ChatKinds(const toml::node& node) {
    const toml::array* list = node.as_array();
    if (list == nullptr || list->empty()) {
        Fail(node, "`kinds` must be a list of chat kinds, like [\"public\", \"team\"]");
    }
    unsigned kinds = 0;
    for (const toml::node& item : *list) {
        const std::optional<std::string_view> name = item.value<std::string_view>();
        if (name == "public") {
            kinds |= CHAT_PUBLIC;
        } else if (name == "team") {
            kinds |= CHAT_TEAM;
        } else if (name == "server") {
            kinds |= CHAT_SERVER;
        } else {
            Fail(item, "`kinds` holds \"public\", \"team\" and \"server\"");
        }
    }
    return kinds;
}

std::shared_ptr<const re2::RE2> Pattern(const toml::table& table, bool caseSensitive) {
    const std::string& text = *TextValue(table, "pattern");
    const toml::node& node = *table.get("pattern");
    // Server text is Latin-1, so the pattern is too: matched as it arrives, never converted.
    const WireText latin1 = TextForWire(text, MAX_PATTERN);
    if (!latin1.Ok()) {
        Fail(node, "`pattern`: " + latin1.Describe("the pattern"));
    }
    re2::RE2::Options options;
    options.set_encoding(re2::RE2::Options::EncodingLatin1);
    options.set_case_sensitive(caseSensitive);
    options.set_max_mem(PATTERN_MEMORY);
    options.set_log_errors(false);
    auto pattern = std::make_shared<const re2::RE2>(latin1.latin1, options);
    if (!pattern->ok()) {
        Fail(node, "`pattern` is not a valid pattern: " + pattern->error());
    }
    return pattern;
}

TriggerRule ParseTrigger(const toml::table& table, std::map<std::string, int>& namesSeen) {
    static const char* const WHAT = "[[trigger]]";
    TriggerRule rule;
    rule.name = RuleName(table, WHAT, namesSeen);
    rule.event = table.get("on") == nullptr || ChoiceValue(table, "on", {"chat", "join"}) == "chat"
                     ? TriggerEvent::Chat
                     : TriggerEvent::Join;
    if (table.get("action") == nullptr) {
        Missing(table, WHAT, "action", ": one of say, warn, kick, ban, note, attention");
    }
    rule.action = ActionNamed(ChoiceValue(table, "action", ACTIONS));
    const bool warn = rule.action == RuleAction::Warn;
    if (warn) {
        if (table.get("then") == nullptr) {
            Missing(table, WHAT, "then", ": what follows the last warning");
        }
        rule.then = ActionNamed(ChoiceValue(table, "then", FOLLOW_UPS));
    }
    const RuleAction deed = warn ? rule.then : rule.action; // what acts on the player

    Keys allowed = {"name",
                    "enabled",
                    "on",
                    "pattern",
                    "case_sensitive",
                    "cooldown_seconds",
                    "rule_cooldown_seconds",
                    "action",
                    "say"};
    if (rule.event == TriggerEvent::Chat) {
        allowed.push_back("kinds");
    }
    if (warn) {
        allowed.insert(allowed.end(), {"warnings", "then", "then_say"});
    }
    if (deed == RuleAction::Ban) {
        allowed.push_back("ban_minutes");
    }
    if (deed == RuleAction::Kick || deed == RuleAction::Ban || deed == RuleAction::Attention) {
        allowed.push_back("reason");
    }
    if (deed == RuleAction::Note) {
        allowed.push_back("note");
    }
    CheckKeys(table, WHAT, allowed, TRIGGER_HINTS);

    rule.enabled = FlagValue(table, "enabled").value_or(true);
    if (const toml::node* kinds = table.get("kinds")) {
        rule.kinds = ChatKinds(*kinds);
        if ((rule.kinds & CHAT_SERVER) != 0 && rule.action != RuleAction::Say &&
            rule.action != RuleAction::Attention) {
            Fail(*kinds, "server lines have no player, so a trigger on them can only say or "
                         "ask for attention");
        }
    }
    const bool caseSensitive = FlagValue(table, "case_sensitive").value_or(false);
    if (table.get("pattern") != nullptr) {
        rule.pattern = Pattern(table, caseSensitive);
    } else if (rule.event == TriggerEvent::Chat) {
        Missing(table, WHAT, "pattern", ": what to look for in the chat");
    }
    rule.cooldownSeconds = WholeValue(table, "cooldown_seconds", 0, 86400).value_or(30);
    rule.ruleCooldownSeconds = WholeValue(table, "rule_cooldown_seconds", 0, 86400).value_or(0);

    unsigned fields = EVENT_FIELDS | static_cast<unsigned>(TemplateField::Match);
    if ((rule.kinds & CHAT_SERVER) == 0 || rule.event == TriggerEvent::Join) {
        fields |= PLAYER_FIELDS;
    }
    if (warn) {
        fields |= static_cast<unsigned>(TemplateField::Warnings);
        rule.warnings = WholeValue(table, "warnings", 1, 100).value_or(0);
        if (rule.warnings == 0) {
            Missing(table, WHAT, "warnings", ": how many warnings come before `then`");
        }
        rule.thenSay = TemplateValue(table, "then_say", CMessageTemplate::Use::ServerLine, fields);
    }
    rule.say = TemplateValue(table, "say", CMessageTemplate::Use::ServerLine, fields);
    if (!rule.say && (rule.action == RuleAction::Say || warn)) {
        Missing(table, WHAT, "say", warn ? ": the warning line" : ": the line to say");
    }
    rule.reason = TemplateValue(table, "reason", CMessageTemplate::Use::Display, fields);
    rule.note = TemplateValue(table, "note", CMessageTemplate::Use::Display, fields);
    if (deed == RuleAction::Note && !rule.note) {
        Missing(table, WHAT, "note", ": the text to note on the player");
    }
    if (deed == RuleAction::Ban) {
        const std::optional<int> minutes = WholeValue(table, "ban_minutes", 0, 10 * 365 * 24 * 60);
        if (!minutes) {
            Missing(table, WHAT, "ban_minutes", ": how long the ban lasts, 0 for good");
        }
        rule.banMinutes = *minutes;
    }
    return rule;
}

// The tables of an array of tables such as [[trigger]].
const toml::array& TableArray(const toml::node& node, std::string_view key) {
    const toml::array* list = node.as_array();
    if (list == nullptr || !list->is_array_of_tables()) {
        Fail(node, Quoted(key) + " must be written as [[" + std::string(key) + "]] tables");
    }
    return *list;
}

AutomationRules ParseDocument(const toml::table& document) {
    CheckKeys(document, "the file (known tables: [settings], [[schedule]], [[trigger]])",
              {"settings", "schedule", "trigger"}, {});
    AutomationRules rules;
    if (const toml::node* node = document.get("settings")) {
        const toml::table* settings = node->as_table();
        if (settings == nullptr) {
            Fail(*node, "`settings` must be written as a [settings] table");
        }
        CheckKeys(*settings, "[settings]", {"dry_run", "actions_per_minute"}, {});
        rules.settings.dryRun = FlagValue(*settings, "dry_run").value_or(false);
        rules.settings.actionsPerMinute =
            WholeValue(*settings, "actions_per_minute", 2, 1000).value_or(20);
    }
    std::map<std::string, int> namesSeen;
    int count = 0;
    const auto counted = [&count](const toml::node& node) -> const toml::table& {
        if (++count > MAX_RULES) {
            Fail(node, "too many rules: at most " + std::to_string(MAX_RULES) + " in one file");
        }
        return *node.as_table();
    };
    if (const toml::node* node = document.get("schedule")) {
        for (const toml::node& table : TableArray(*node, "schedule")) {
            rules.schedules.push_back(ParseSchedule(counted(table), namesSeen));
        }
    }
    if (const toml::node* node = document.get("trigger")) {
        for (const toml::node& table : TableArray(*node, "trigger")) {
            rules.triggers.push_back(ParseTrigger(counted(table), namesSeen));
        }
    }
    return rules;
}

RulesFileResult Failed(const std::string& path, std::string message, int line = 0, int column = 0) {
    RulesFileResult result;
    result.error = {path, line, column, std::move(message)};
    return result;
}

} // namespace

std::string RulesFileError::ToString() const {
    if (line == 0) {
        return path + ": " + message;
    }
    return path + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

RulesFileResult ParseRulesFile(std::string_view text, const std::string& path) {
    try {
        const toml::table document = toml::parse(text, std::string_view(path));
        RulesFileResult result;
        result.rules = ParseDocument(document);
        return result;
    } catch (const toml::parse_error& error) {
        return Failed(path, std::string(error.description()),
                      static_cast<int>(error.source().begin.line),
                      static_cast<int>(error.source().begin.column));
    } catch (const Problem& problem) {
        return Failed(path, problem.message, static_cast<int>(problem.at.line),
                      static_cast<int>(problem.at.column));
    }
}

RulesFileResult LoadRulesFile(const std::string& path) {
    const FileBytes file = ReadWholeFile(path, MAX_RULES_FILE);
    if (file.status == FileReadStatus::Missing) {
        return Failed(path, "there is no such file");
    }
    if (file.status == FileReadStatus::Unusable) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0) {
            return Failed(path, "the file cannot be read");
        }
        if (!S_ISREG(info.st_mode)) {
            return Failed(path, "this is not a regular file");
        }
        if (static_cast<std::size_t>(info.st_size) > MAX_RULES_FILE) {
            return Failed(path, "the file is larger than 1 MiB");
        }
        return Failed(path, "the file cannot be read (no permission?)");
    }
    return ParseRulesFile(file.bytes, path);
}

std::string AutomationRulesPath(std::string_view host, int port) {
    std::string name;
    for (const char c : host) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == ':';
        name += plain ? c : '_';
    }
    return ConfigFilePath("vyr/automation/" + name + "_" + std::to_string(port) + ".toml");
}
