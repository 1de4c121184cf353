#include "platform/SystemClock.h"

#include <time.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace torven::platform {

namespace {

std::size_t endOfLetters(std::string_view text, std::size_t from) {
    while (from < text.size() && std::isalpha(static_cast<unsigned char>(text[from])))
        ++from;
    return from;
}

// The zone names a TZ of the form "tzn[+|-]hh[:mm[:ss]][dzn]" gives: the letters before the
// offset and those after it, as the C library on Linux reads them. The C runtime's own
// _tzname keeps only a fixed number of letters (three on Windows, two under Wine, which
// makes "UTC" "UT"), so a header would name the zone differently than on Linux.
void takeNamesFromTz(LocalZone& zone) {
    const char* tz = std::getenv("TZ");
    if (tz == nullptr)
        return;
    const std::string_view text(tz);
    const std::size_t standardEnd = endOfLetters(text, 0);
    if (standardEnd < 3)
        return;
    std::size_t offsetEnd = standardEnd;
    while (offsetEnd < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[offsetEnd])) ||
            std::string_view("+-:").find(text[offsetEnd]) != std::string_view::npos)) {
        ++offsetEnd;
    }
    zone.standardName = text.substr(0, standardEnd);
    zone.daylightName = text.substr(offsetEnd, endOfLetters(text, offsetEnd) - offsetEnd);
}

}  // namespace

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
    takeNamesFromTz(zone);
    return zone;
}

}  // namespace torven::platform
