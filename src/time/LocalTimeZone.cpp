#include "time/LocalTimeZone.h"

#include <cstdlib>

#include "platform/SystemClock.h"
#include "platform/TextFormat.h"

namespace torven {

std::string utcOffsetText() {
    const platform::LocalZone zone = platform::localZoneAt(platform::currentEpochSeconds());
    // Daylight saving is taken as one hour ahead of standard time. The sign is that of the
    // whole offset, so a zone less than an hour west of UTC still reads "-00:30".
    long offsetMinutes = -(zone.secondsWestOfUtc / 60);
    if (zone.daylightFlag > 0)
        offsetMinutes += 60;
    const long size = std::labs(offsetMinutes);
    return formatText("%c%02ld:%02ld", offsetMinutes < 0 ? '-' : '+', size / 60, size % 60);
}

std::string timeZoneName() {
    const platform::LocalZone zone = platform::localZoneAt(platform::currentEpochSeconds());
    const bool daylightInEffect = zone.hasDaylightRule && zone.daylightFlag > 0;
    return daylightInEffect ? zone.daylightName : zone.standardName;
}

}  // namespace torven
