#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace torven::platform {

// Seconds since 1970-01-01 00:00:00 UTC.
std::int64_t currentEpochSeconds();

// Milliseconds since 1970-01-01 00:00:00 UTC, for reasoning about where in a second the
// program is.
std::int64_t currentEpochMilliseconds();

// Milliseconds on a clock that only ever runs forward at a steady rate, whatever is done to
// the system clock; for timing, never for the time of day.
std::int64_t monotonicMilliseconds();

// The broken-down UTC time of an instant.
std::tm utcCalendar(std::int64_t epochSeconds);

// The local time zone of the station computer as the C library sees it at an instant
// (from TZ or the system's zone).
struct LocalZone {
    long secondsWestOfUtc = 0;  // standard offset, positive west of Greenwich
    bool hasDaylightRule = false;
    int daylightFlag = 0;  // tm_isdst of the instant: >0 in effect, 0 not, <0 unknown
    std::string standardName;
    std::string daylightName;
};
LocalZone localZoneAt(std::int64_t epochSeconds);

}  // namespace torven::platform
