#include "platform/SystemClock.h"

#include <time.h>

namespace torven::platform {

std::tm utcCalendar(std::int64_t epochSeconds) {
    const auto instant = static_cast<__time64_t>(epochSeconds);
    std::tm calendar{};
    ::_gmtime64_s(&calendar, &instant);
    return calendar;
}

LocalZone localZoneAt(std::int64_t epochSeconds) {
    // _tzset reads TZ, or the zone Windows is set to when TZ is not set.
    ::_tzset();
    const auto instant = static_cast<__time64_t>(epochSeconds);
    std::tm local{};
    ::_localtime64_s(&local, &instant);

    LocalZone zone;
    zone.secondsWestOfUtc = ::_timezone;
    zone.hasDaylightRule = ::_daylight != 0;
    zone.daylightFlag = local.tm_isdst;
    zone.standardName = ::_tzname[0] != nullptr ? ::_tzname[0] : "";
    zone.daylightName = ::_tzname[1] != nullptr ? ::_tzname[1] : "";
    return zone;
}

}  // namespace torven::platform
