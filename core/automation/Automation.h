#pragma once
// Automation: scheduled announcements and chat triggers for one server, the same in the window
// and in vyr-cli. The front end feeds in what happens (session, chat, joins, player count, and
// a tick at least once a second, connected or not) and carries out what comes out of
// TakeOutput.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/automation/ActionCap.h"
#include "core/automation/AutomationOutput.h"
#include "core/automation/AutomationRules.h"
#include "core/automation/RulesFile.h"
#include "core/automation/ScheduleTimer.h"

class CPatternSet;
struct ClientEvent;

// One row of the window's rule table.
struct AutomationRuleState {
    std::string name;
    bool trigger = false;
    std::string summary; // "every 30 min", "daily at 04:00", "chat: aimbot", ...
    bool enabled = false;
    std::optional<WallTime> lastRun; // when it last acted
    std::optional<WallTime> nextRun; // schedules that will run
    std::uint64_t hits = 0;          // schedules: runs; triggers: chat lines or joins matched
};

class CAutomation {
  public:
    using Clock = std::function<WallTime()>;
    explicit CAutomation(Clock clock = std::chrono::system_clock::now);
    ~CAutomation();
    CAutomation(const CAutomation&) = delete;
    CAutomation& operator=(const CAutomation&) = delete;

    // Puts the file's rules in force, with its dry-run setting and cap. On any problem the rules
    // in force stay as they are and the error is returned. Reload reads the last path given.
    std::optional<RulesFileError> Load(const std::string& path);
    std::optional<RulesFileError> Reload();
    const std::string& Path() const { return path; }
    void Install(AutomationRules rules);

    void SetEnabled(bool on); // all rules; each keeps its own switch
    bool Enabled() const { return enabled; }
    bool SetRuleEnabled(std::string_view name, bool on); // false: no rule has the name
    void SetDryRun(bool on) { dryRun = on; }
    bool DryRun() const { return dryRun; }

    // Warnings and cooldowns last one session; nothing runs outside one.
    void SessionStarted();
    void SessionEnded();
    void SetPlayerCount(int players);
    void OnChat(std::uint8_t id, std::string_view name, std::uint8_t kind, std::string_view text);
    void OnJoin(std::uint8_t id, std::string_view name);
    void OnEvent(const ClientEvent& event); // the joins and chat of the client's events
    void Tick();

    std::vector<AutomationOutput> TakeOutput();
    std::vector<AutomationRuleState> Rules() const;

  private:
    struct ScheduleSlot {
        ScheduleRule rule;
        CScheduleTimer timer;
        bool enabled;
        std::optional<WallTime> lastRun;
        std::uint64_t hits = 0;
    };
    struct PlayerRecord {
        WallTime lastAction;
        int warnings = 0;
    };
    struct TriggerSlot {
        TriggerRule rule;
        bool enabled;
        std::optional<WallTime> lastRun;
        std::uint64_t hits = 0;
        std::unordered_map<std::string, PlayerRecord> players; // by name: ids are reused
    };
    struct Subject {
        bool isPlayer = false;
        std::uint8_t id = 0;
        std::string_view name;
    };

    // The triggers for one kind of event, with their patterns in one set.
    struct TriggerGroup {
        std::vector<std::size_t> triggers; // indexes into `triggers`, in file order
        std::unique_ptr<CPatternSet> patterns;
    };
    void Group(TriggerGroup& group, TriggerEvent event);
    template <typename Event>
    void Dispatch(const TriggerGroup& group, std::string_view text, const Subject& who,
                  WallTime now, Event wanted);

    bool CanAct(WallTime now);
    void UpdateCap(WallTime now);
    void Fire(TriggerSlot& slot, WallTime now, const Subject& who, std::string_view match);
    PlayerRecord* Record(TriggerSlot& slot, std::string_view name, WallTime now);
    void RunSchedule(ScheduleSlot& slot, const ScheduleRun& run, WallTime now);
    void Say(const std::string& rule, const CMessageTemplate& line, const TemplateValues& values,
             const Subject& who);
    void Act(AutomationOutputType type, const std::string& rule, std::string text,
             const Subject& who, int banMinutes = 0);
    void Log(std::string text, const std::string& rule = {});
    void ArmSchedules(WallTime now);

    Clock clock;
    std::string path;
    std::vector<ScheduleSlot> schedules;
    std::vector<TriggerSlot> triggers;
    TriggerGroup chatTriggers;
    TriggerGroup joinTriggers;
    std::vector<int> candidates; // kept between lines to save the allocation
    bool enabled = true;
    bool dryRun = false;
    bool inSession = false;
    int players = 0;
    CActionCap cap{AutomationSettings{}.actionsPerMinute};
    std::uint64_t heldBack = 0; // events not acted on during the current pause
    std::vector<AutomationOutput> output;
};
