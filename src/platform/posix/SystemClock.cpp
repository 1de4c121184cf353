#include "platform/SystemClock.h"

#include <time.h>

namespace torven::platform {

std::tm utcCalendar(std::int64_t epochSeconds) {
    const auto instant = static_cast<time_t>(epochSeconds);
    std::tm calendar{};
    ::gmtime_r(&instant, &calendar);
    return calendar;
}

LocalZone localZoneAt(std::int64_t epochSeconds) {
    // localtime_r need not read TZ again; tzset makes a changed TZ take effect and fills
    // timezone, daylight and tzname.
    ::tzset();
    const auto instant = static_cast<time_t>(epochSeconds);
    std::tm local{};
    ::localtime_r(&instant, &local);

    LocalZone zone;
    zone.secondsWestOfUtc = ::timezone;
    zone.hasDaylightRule = ::daylight != 0;
    zone.daylightFlag = local.tm_isdst;
    zone.standardName = ::tzname[0] != nullptr ? ::tzname[0] : "";
    zone.daylightName = ::tzname[1] != nullptr ? ::tzname[1] : "";
    return zone;
}

}  // namespace torven::platform
