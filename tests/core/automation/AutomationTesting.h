#pragma once
// An automation engine on a clock the test moves, in a zone with daylight saving (central
// Europe: summer time from the last Sunday of March, 02:00 -> 03:00, to the last Sunday of
// October, 03:00 -> 02:00). A POSIX TZ string needs no zone database.

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/automation/Automation.h"

// An output and the time of the tick that gave it.
struct Seen {
    WallTime at;
    AutomationOutput out;
};

class AutomationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        now = Local(2024, 6, 1, 12, 0); // only now that the zone is set
    }

    // A local time that exists once.
    static WallTime Local(int year, int month, int day, int hour, int minute, int second = 0) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        tm.tm_isdst = -1;
        return std::chrono::system_clock::from_time_t(std::mktime(&tm));
    }

    // Puts `rules` in force; fails the test when they do not parse.
    void Use(const std::string& rules) {
        RulesFileResult parsed = ParseRulesFile(rules, "test.toml");
        ASSERT_TRUE(parsed.rules) << parsed.error.ToString();
        automation.Install(std::move(*parsed.rules));
    }

    static WallTime Utc(int year, int month, int day, int hour, int minute) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        return std::chrono::system_clock::from_time_t(timegm(&tm));
    }

    // Moves the clock to `until` in steps, ticking at each; all that came out, with its time.
    std::vector<Seen> RunUntil(WallTime until,
                               std::chrono::seconds step = std::chrono::seconds(20)) {
        std::vector<Seen> all;
        while (now < until) {
            now = std::min<WallTime>(now + step, until);
            automation.Tick();
            for (AutomationOutput& out : automation.TakeOutput()) {
                all.push_back({now, std::move(out)});
            }
        }
        return all;
    }

    std::vector<AutomationOutput> Take() { return automation.TakeOutput(); }

    static std::vector<std::string> Logs(const std::vector<AutomationOutput>& outputs) {
        std::vector<std::string> logs;
        for (const AutomationOutput& out : outputs) {
            logs.push_back(out.log);
        }
        return logs;
    }

    static std::vector<std::string> Logs(const std::vector<Seen>& seen) {
        std::vector<std::string> logs;
        for (const Seen& each : seen) {
            logs.push_back(each.out.log);
        }
        return logs;
    }

    WallTime now;
    CAutomation automation{[this] { return now; }};
};
