#include "core/automation/LocalClock.h"

#include <ctime>

namespace {

using std::chrono::system_clock;

std::tm LocalTm(WallTime t) {
    const std::time_t seconds = system_clock::to_time_t(t);
    std::tm tm{};
    localtime_r(&seconds, &tm);
    return tm;
}

std::tm TmOf(LocalDate date, ClockTime time) {
    std::tm tm{};
    tm.tm_year = date.year - 1900;
    tm.tm_mon = date.month - 1;
    tm.tm_mday = date.day;
    tm.tm_hour = time.hour;
    tm.tm_min = time.minute;
    return tm;
}

// What the local clock shows, counted as seconds since 1970 as if it were UTC: it rises with
// time, except for the hour the clock is set back.
std::time_t ClockFace(std::tm tm) {
    return timegm(&tm);
}

std::time_t ClockFaceAt(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return ClockFace(tm);
}

LocalDate DateOfFace(std::time_t face) {
    std::tm tm{};
    gmtime_r(&face, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string Format(WallTime t, const char* format) {
    const std::tm tm = LocalTm(t);
    char text[16];
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

} // namespace

LocalDate LocalDateOf(WallTime t) {
    const std::tm tm = LocalTm(t);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

LocalDate NextDate(LocalDate date) {
    return DateOfFace(ClockFace(TmOf(date, {12, 0})) + 86400);
}

LocalDate PreviousDate(LocalDate date) {
    return DateOfFace(ClockFace(TmOf(date, {12, 0})) - 86400);
}

bool IsValidDate(LocalDate date) {
    return date.month >= 1 && date.month <= 12 && date.day >= 1 &&
           DateOfFace(ClockFace(TmOf(date, {12, 0}))) == date;
}

WallTime FirstOccurrence(LocalDate date, ClockTime time) {
    const std::time_t wanted = ClockFace(TmOf(date, time));
    // mktime picks one reading of an ambiguous time; asking for standard and for summer time
    // finds both, and the earlier one that really shows the time is the first.
    bool found = false;
    std::time_t first = 0;
    for (const int dst : {-1, 0, 1}) {
        std::tm tm = TmOf(date, time);
        tm.tm_isdst = dst;
        const std::time_t t = std::mktime(&tm);
        if (ClockFaceAt(t) == wanted && (!found || t < first)) {
            first = t;
            found = true;
        }
    }
    if (!found) {
        // The clock skips the time that day: find the jump. No zone moves its clock twice
        // within 15 hours either side, so the clock face only rises over this span.
        std::time_t early = wanted - 15 * 3600; // shows less than `wanted`
        std::time_t late = wanted + 15 * 3600;  // shows at least `wanted`
        while (late - early > 1) {
            const std::time_t middle = early + (late - early) / 2;
            (ClockFaceAt(middle) >= wanted ? late : early) = middle;
        }
        first = late;
    }
    return system_clock::from_time_t(first);
}

DailyOccurrence NextDailyOccurrence(WallTime from, ClockTime time, const LocalDate* skip) {
    // A time skipped late in the evening belongs to the day before the one `from` is in.
    LocalDate date = PreviousDate(LocalDateOf(from));
    for (;;) {
        if (skip == nullptr || date != *skip) {
            const WallTime at = FirstOccurrence(date, time);
            if (at >= from) {
                return {date, at};
            }
        }
        date = NextDate(date);
    }
}

std::string LocalClockText(WallTime t) {
    return Format(t, "%H:%M");
}

std::string LocalClockTextWithSeconds(WallTime t) {
    return Format(t, "%H:%M:%S");
}
