#pragma once
// Wall-clock arithmetic in the process's time zone (TZ), for schedules that must follow local
// time across daylight-saving changes.

#include <chrono>
#include <string>

using WallTime = std::chrono::system_clock::time_point;

struct LocalDate {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    bool operator==(const LocalDate& o) const {
        return year == o.year && month == o.month && day == o.day;
    }
    bool operator!=(const LocalDate& o) const { return !(*this == o); }
};

struct ClockTime {
    int hour = 0;   // 0..23
    int minute = 0; // 0..59
};

LocalDate LocalDateOf(WallTime t);
LocalDate NextDate(LocalDate date);
LocalDate PreviousDate(LocalDate date);
bool IsValidDate(LocalDate date);

// The first moment of `date` at which the local clock shows `time`. Where the clock skips that
// time that day (the hour lost in spring), the moment it jumps past it; where it shows the time
// twice (the hour repeated in autumn), the first of the two.
WallTime FirstOccurrence(LocalDate date, ClockTime time);

struct DailyOccurrence {
    LocalDate date; // the day it belongs to, which a skipped time may push past midnight
    WallTime at;
};

// The earliest first occurrence of `time` at or after `from`, on any day but `skip`.
DailyOccurrence NextDailyOccurrence(WallTime from, ClockTime time, const LocalDate* skip);

// The local time of `t` as "HH:MM" and as "HH:MM:SS".
std::string LocalClockText(WallTime t);
std::string LocalClockTextWithSeconds(WallTime t);
