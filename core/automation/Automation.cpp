#include "core/automation/Automation.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <re2/re2.h>

#include "core/WireText.h"
#include "core/automation/PatternSet.h"
#include "engine/ClientEvent.h"
#include "engine/PrintableText.h"
#include "engine/Protocol.h"

namespace {

using std::chrono::seconds;

// A hostile server could send endless new names; past this many per trigger the player acted
// on longest ago is forgotten.
constexpr std::size_t MAX_TRACKED_PLAYERS = 4096;

unsigned KindBit(std::uint8_t kind) {
    switch (kind) {
    case CHAT_KIND_TEAM:
        return CHAT_TEAM;
    case CHAT_KIND_SERVER:
        return CHAT_SERVER;
    default:
        return CHAT_PUBLIC;
    }
}

// True while `last` is less than `cooldown` ago. A clock gone back restarts the cooldown
// from now instead of stretching it until the clock catches up.
bool CoolingDown(WallTime& last, WallTime now, int cooldownSeconds) {
    if (now < last) {
        last = now;
        return true;
    }
    return now - last < seconds(cooldownSeconds);
}

// The part of `text` the rule's pattern matches; all of it where there is no pattern.
std::optional<std::string_view> Match(const TriggerRule& rule, std::string_view text) {
    if (!rule.pattern) {
        return text;
    }
    re2::StringPiece found;
    if (!rule.pattern->Match(re2::StringPiece(text.data(), text.size()), 0, text.size(),
                             re2::RE2::UNANCHORED, &found, 1)) {
        return std::nullopt;
    }
    return std::string_view(found.data(), found.size());
}

std::string Shown(std::string_view latin1) {
    return Latin1ToUtf8(Printable(latin1));
}

std::string PlayerText(std::string_view name, std::uint8_t id) {
    return Shown(name) + " (#" + std::to_string(id) + ")";
}

std::string Summary(const ScheduleRule& rule) {
    switch (rule.type) {
    case ScheduleType::Every:
        return "every " + std::to_string(rule.everyMinutes) + " min" +
               (rule.minPlayers > 0 ? ", " + std::to_string(rule.minPlayers) + "+ players" : "");
    case ScheduleType::Daily:
    case ScheduleType::Countdown: {
        char text[32];
        if (rule.onDate) {
            std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", rule.onDate->year,
                          rule.onDate->month, rule.onDate->day, rule.at.hour, rule.at.minute);
        } else {
            std::snprintf(text, sizeof text, "%02d:%02d", rule.at.hour, rule.at.minute);
        }
        return (rule.type == ScheduleType::Daily ? "daily at " : "countdown to ") +
               std::string(text) + (rule.shutdown ? ", then shutdown" : "");
    }
    }
    return {};
}

std::string Summary(const TriggerRule& rule) {
    const std::string on = rule.event == TriggerEvent::Chat ? "chat: " : "join: ";
    return on + (rule.pattern ? Shown(rule.pattern->pattern()) : std::string("every player"));
}

std::string Minutes(int minutes) {
    return std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

} // namespace

const char* AutomationOutputTypeName(AutomationOutputType type) {
    switch (type) {
    case AutomationOutputType::Log:
        return "log";
    case AutomationOutputType::Say:
        return "say";
    case AutomationOutputType::Kick:
        return "kick";
    case AutomationOutputType::Ban:
        return "ban";
    case AutomationOutputType::Note:
        return "note";
    case AutomationOutputType::Attention:
        return "attention";
    case AutomationOutputType::Shutdown:
        return "shutdown";
    }
    return "log";
}

CAutomation::CAutomation(Clock clock) : clock(std::move(clock)) {}

CAutomation::~CAutomation() = default;

std::optional<RulesFileError> CAutomation::Load(const std::string& rulesPath) {
    path = rulesPath;
    return Reload();
}

std::optional<RulesFileError> CAutomation::Reload() {
    RulesFileResult result = LoadRulesFile(path);
    if (!result.rules) {
        return result.error;
    }
    Install(std::move(*result.rules));
    return std::nullopt;
}

void CAutomation::Install(AutomationRules rules) {
    // A rule that keeps its name keeps its counts, and a trigger its warnings and cooldowns, so
    // that a reload never lets anyone off.
    std::vector<ScheduleSlot> newSchedules;
    for (ScheduleRule& rule : rules.schedules) {
        const bool on = rule.enabled;
        CScheduleTimer timer(rule);
        newSchedules.push_back({std::move(rule), std::move(timer), on, std::nullopt, 0});
        ScheduleSlot& slot = newSchedules.back();
        for (const ScheduleSlot& old : schedules) {
            if (old.rule.name == slot.rule.name) {
                slot.lastRun = old.lastRun;
                slot.hits = old.hits;
            }
        }
    }
    std::vector<TriggerSlot> newTriggers;
    for (TriggerRule& rule : rules.triggers) {
        const bool on = rule.enabled;
        newTriggers.push_back({std::move(rule), on, std::nullopt, 0, {}});
        TriggerSlot& slot = newTriggers.back();
        for (TriggerSlot& old : triggers) {
            if (old.rule.name == slot.rule.name) {
                slot.lastRun = old.lastRun;
                slot.hits = old.hits;
                slot.players = std::move(old.players);
            }
        }
    }
    schedules = std::move(newSchedules);
    triggers = std::move(newTriggers);
    Group(chatTriggers, TriggerEvent::Chat);
    Group(joinTriggers, TriggerEvent::Join);
    dryRun = rules.settings.dryRun;
    cap.SetLimit(rules.settings.actionsPerMinute);
    ArmSchedules(clock());
}

void CAutomation::SetEnabled(bool on) {
    if (on && !enabled) {
        ArmSchedules(clock());
    }
    enabled = on;
}

bool CAutomation::SetRuleEnabled(std::string_view name, bool on) {
    for (ScheduleSlot& slot : schedules) {
        if (slot.rule.name == name) {
            if (on && !slot.enabled) {
                slot.timer.Arm(clock());
            }
            slot.enabled = on;
            return true;
        }
    }
    for (TriggerSlot& slot : triggers) {
        if (slot.rule.name == name) {
            slot.enabled = on;
            return true;
        }
    }
    return false;
}

void CAutomation::SessionStarted() {
    inSession = true;
    for (TriggerSlot& slot : triggers) {
        slot.players.clear();
    }
    // Schedules keep their beat across a reconnect; only one left behind (no ticks while
    // disconnected) starts again from now rather than running late.
    const WallTime now = clock();
    for (ScheduleSlot& slot : schedules) {
        const std::optional<WallTime> next = slot.timer.Next();
        if (!next || *next < now) {
            slot.timer.Arm(now);
        }
    }
}

void CAutomation::SessionEnded() {
    inSession = false;
    for (TriggerSlot& slot : triggers) {
        slot.players.clear();
    }
}

void CAutomation::SetPlayerCount(int count) {
    players = count;
}

void CAutomation::OnEvent(const ClientEvent& event) {
    if (const auto* joined = std::get_if<event::PlayerJoined>(&event.what)) {
        OnJoin(joined->player.id, joined->player.name);
    } else if (const auto* chat = std::get_if<event::Chat>(&event.what)) {
        const event::Player sender = chat->sender.value_or(event::Player{});
        OnChat(sender.id, sender.name, chat->kind, chat->text);
    }
}

void CAutomation::OnChat(std::uint8_t id, std::string_view name, std::uint8_t kind,
                         std::string_view text) {
    const WallTime now = clock();
    if (!CanAct(now)) {
        return;
    }
    const unsigned bit = KindBit(kind);
    const Subject who{bit != CHAT_SERVER, id, bit != CHAT_SERVER ? name : std::string_view()};
    Dispatch(chatTriggers, text, who, now,
             [bit](const TriggerRule& rule) { return (rule.kinds & bit) != 0; });
}

void CAutomation::OnJoin(std::uint8_t id, std::string_view name) {
    const WallTime now = clock();
    if (!CanAct(now)) {
        return;
    }
    Dispatch(joinTriggers, name, Subject{true, id, name}, now,
             [](const TriggerRule&) { return true; });
}

void CAutomation::Group(TriggerGroup& group, TriggerEvent event) {
    group.triggers.clear();
    std::vector<const re2::RE2*> patterns;
    for (std::size_t i = 0; i < triggers.size(); ++i) {
        if (triggers[i].rule.event == event) {
            group.triggers.push_back(i);
            patterns.push_back(triggers[i].rule.pattern.get());
        }
    }
    group.patterns = std::make_unique<CPatternSet>(patterns);
}

// Fires, in file order, every enabled trigger of the group that `wanted` takes and whose pattern
// matches `text`, until the cap pauses them.
template <typename Event>
void CAutomation::Dispatch(const TriggerGroup& group, std::string_view text, const Subject& who,
                           WallTime now, Event wanted) {
    if (!group.patterns) {
        return; // no rules yet
    }
    group.patterns->Candidates(text, candidates);
    for (const int candidate : candidates) {
        TriggerSlot& slot = triggers[group.triggers[static_cast<std::size_t>(candidate)]];
        if (!slot.enabled || !wanted(slot.rule)) {
            continue;
        }
        if (const std::optional<std::string_view> match = Match(slot.rule, text)) {
            Fire(slot, now, who, *match);
            if (cap.Paused()) {
                return;
            }
        }
    }
}

// Whether triggers look at an event at all. While the cap holds them, they do not even match:
// a flood then costs next to nothing.
bool CAutomation::CanAct(WallTime now) {
    if (!enabled || !inSession) {
        return false;
    }
    UpdateCap(now);
    if (cap.Paused()) {
        ++heldBack;
        return false;
    }
    return true;
}

void CAutomation::UpdateCap(WallTime now) {
    const bool wasPaused = cap.Paused();
    cap.Update(now);
    if (wasPaused && !cap.Paused()) {
        Log("automation resumed; " + std::to_string(heldBack) +
            (heldBack == 1 ? " chat line or join was" : " chat lines and joins were") +
            " not acted on during the pause");
        heldBack = 0;
    }
}

CAutomation::PlayerRecord* CAutomation::Record(TriggerSlot& slot, std::string_view name,
                                               WallTime now) {
    auto found = slot.players.find(std::string(name));
    if (found != slot.players.end()) {
        return &found->second;
    }
    if (slot.players.size() >= MAX_TRACKED_PLAYERS) {
        const auto oldest =
            std::min_element(slot.players.begin(), slot.players.end(), [](auto& a, auto& b) {
                return a.second.lastAction < b.second.lastAction;
            });
        slot.players.erase(oldest);
    }
    // Never acted on: as if the last action were a full cooldown ago.
    PlayerRecord fresh{now - seconds(slot.rule.cooldownSeconds), 0};
    return &slot.players.emplace(std::string(name), fresh).first->second;
}

void CAutomation::Fire(TriggerSlot& slot, WallTime now, const Subject& who,
                       std::string_view match) {
    const TriggerRule& rule = slot.rule;
    ++slot.hits;
    if (rule.ruleCooldownSeconds > 0 && slot.lastRun &&
        CoolingDown(*slot.lastRun, now, rule.ruleCooldownSeconds)) {
        return;
    }
    PlayerRecord& player = *Record(slot, who.name, now);
    if (CoolingDown(player.lastAction, now, rule.cooldownSeconds)) {
        return;
    }

    // What this firing does: at most a line and one deed on the player.
    const bool warning = rule.action == RuleAction::Warn && player.warnings < rule.warnings;
    const bool followUp = rule.action == RuleAction::Warn && !warning;
    const std::optional<CMessageTemplate>& line = followUp ? rule.thenSay : rule.say;
    const RuleAction deed = followUp ? rule.then : rule.action;
    const bool hasDeed = deed != RuleAction::Say && deed != RuleAction::Warn;
    const int actions = (line ? 1 : 0) + (hasDeed ? 1 : 0);
    if (!cap.Take(now, actions)) {
        ++heldBack;
        Log("automation paused: triggers reached their cap of " + std::to_string(cap.Limit()) +
            " actions a minute; they resume at " + LocalClockTextWithSeconds(cap.PausedUntil()));
        return;
    }
    player.lastAction = now;
    slot.lastRun = now;
    if (rule.action == RuleAction::Warn) {
        ++player.warnings;
    }

    TemplateValues values;
    values.name = who.name;
    values.id = who.id;
    values.players = players;
    values.time = LocalClockText(now);
    values.match = match;
    values.warnings = player.warnings;
    if (line) {
        Say(rule.name, *line, values, who);
    }
    if (!hasDeed) {
        return;
    }
    const auto display = [&values](const std::optional<CMessageTemplate>& text) {
        return text ? text->Expand(values).text : std::string();
    };
    switch (deed) {
    case RuleAction::Kick:
        Act(AutomationOutputType::Kick, rule.name, display(rule.reason), who);
        break;
    case RuleAction::Ban:
        Act(AutomationOutputType::Ban, rule.name, display(rule.reason), who, rule.banMinutes);
        break;
    case RuleAction::Note:
        Act(AutomationOutputType::Note, rule.name, display(rule.note), who);
        break;
    case RuleAction::Attention:
        Act(AutomationOutputType::Attention, rule.name, display(rule.reason), who);
        break;
    case RuleAction::Say:
    case RuleAction::Warn:
        break;
    }
}

void CAutomation::Tick() {
    const WallTime now = clock();
    if (!enabled) {
        return;
    }
    UpdateCap(now);
    for (ScheduleSlot& slot : schedules) {
        if (!slot.enabled) {
            continue;
        }
        // Outside a session a run that comes due passes unseen.
        const std::optional<ScheduleRun> run = slot.timer.Take(now);
        if (run && inSession) {
            RunSchedule(slot, *run, now);
        }
    }
}

void CAutomation::RunSchedule(ScheduleSlot& slot, const ScheduleRun& run, WallTime now) {
    const ScheduleRule& rule = slot.rule;
    if (run.late) {
        const auto late = std::chrono::duration_cast<std::chrono::minutes>(now - run.due);
        Log("skipped \"" + rule.name + "\": it was due at " + LocalClockText(run.due) + ", " +
                Minutes(static_cast<int>(late.count())) +
                " ago (the clock was changed or the computer slept)",
            rule.name);
        return;
    }
    if (players < rule.minPlayers) {
        return;
    }
    ++slot.hits;
    slot.lastRun = now;
    TemplateValues values;
    values.players = players;
    values.time = LocalClockText(now);
    values.minutes = run.minutesLeft;
    if (run.say && rule.say) {
        Say(rule.name, *rule.say, values, Subject{});
    }
    if (run.shutdown) {
        Act(AutomationOutputType::Shutdown, rule.name, {}, Subject{});
    }
}

void CAutomation::Say(const std::string& rule, const CMessageTemplate& line,
                      const TemplateValues& values, const Subject& who) {
    CMessageTemplate::Expanded said = line.Expand(values);
    if (!said.problem.empty()) {
        Log("refused to say a line of rule \"" + rule + "\": " + said.problem, rule);
        return;
    }
    if (dryRun) {
        Log("would say: " + said.text + " (rule " + rule + ")", rule);
        return;
    }
    AutomationOutput out;
    out.type = AutomationOutputType::Say;
    out.rule = rule;
    out.log = "say: " + said.text + " (rule " + rule + ")";
    out.line = std::move(said.latin1);
    out.text = std::move(said.text);
    out.hasPlayer = who.isPlayer;
    out.playerId = who.id;
    out.playerName = std::string(who.name);
    output.push_back(std::move(out));
}

void CAutomation::Act(AutomationOutputType type, const std::string& rule, std::string text,
                      const Subject& who, int banMinutes) {
    const std::string player = PlayerText(who.name, who.id);
    const std::string because = text.empty() ? std::string() : ": " + text;
    std::string what;
    switch (type) {
    case AutomationOutputType::Kick:
        what = "kick " + player + because;
        break;
    case AutomationOutputType::Ban:
        what = "ban " + player +
               (banMinutes == 0 ? std::string(" for good") : " for " + Minutes(banMinutes)) +
               because;
        break;
    case AutomationOutputType::Note:
        what = "note on " + player + because;
        break;
    case AutomationOutputType::Attention:
        what = "ask for attention" + (who.isPlayer ? " to " + player : std::string()) + because;
        break;
    case AutomationOutputType::Shutdown:
        what = "ask the server to shut down";
        break;
    case AutomationOutputType::Log:
    case AutomationOutputType::Say:
        break;
    }
    if (dryRun) {
        Log("would " + what + " (rule " + rule + ")", rule);
        return;
    }
    AutomationOutput out;
    out.type = type;
    out.rule = rule;
    out.log = what + " (rule " + rule + ")";
    out.text = std::move(text);
    out.hasPlayer = who.isPlayer;
    out.playerId = who.id;
    out.playerName = std::string(who.name);
    out.banMinutes = banMinutes;
    output.push_back(std::move(out));
}

void CAutomation::Log(std::string text, const std::string& rule) {
    AutomationOutput out;
    out.rule = rule;
    out.log = std::move(text);
    output.push_back(std::move(out));
}

void CAutomation::ArmSchedules(WallTime now) {
    for (ScheduleSlot& slot : schedules) {
        slot.timer.Arm(now);
    }
}

std::vector<AutomationOutput> CAutomation::TakeOutput() {
    return std::exchange(output, {});
}

std::vector<AutomationRuleState> CAutomation::Rules() const {
    std::vector<AutomationRuleState> rows;
    for (const ScheduleSlot& slot : schedules) {
        AutomationRuleState row{slot.rule.name, false,        Summary(slot.rule), slot.enabled,
                                slot.lastRun,   std::nullopt, slot.hits};
        if (enabled && slot.enabled) {
            row.nextRun = slot.timer.Next();
        }
        rows.push_back(std::move(row));
    }
    for (const TriggerSlot& slot : triggers) {
        rows.push_back({slot.rule.name, true, Summary(slot.rule), slot.enabled, slot.lastRun,
                        std::nullopt, slot.hits});
    }
    return rows;
}
