#include "time/TimeStamp.h"

#include <array>

#include "platform/SystemClock.h"
#include "platform/TextFormat.h"

namespace torven {

namespace {

constexpr std::array<const char*, 12> monthAbbreviations = {
    "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

}  // namespace

void TimeStamp::setToNow(std::int32_t offsetSeconds) {
    setTo(platform::currentEpochSeconds() + offsetSeconds);
}

void TimeStamp::setTo(std::int64_t epochSeconds) {
    const std::tm calendar = platform::utcCalendar(epochSeconds);
    seconds_ = epochSeconds;
    second_ = calendar.tm_sec;
    minute_ = calendar.tm_min;
    hour_ = calendar.tm_hour;
    dayOfMonth_ = calendar.tm_mday;
    month_ = calendar.tm_mon;
    year_ = calendar.tm_year;
    dayOfWeek_ = calendar.tm_wday;
    dayOfYear_ = calendar.tm_yday;
    daylightFlag_ = calendar.tm_isdst;
}

std::string TimeStamp::dateTimeText() const {
    return formatText("%04d-%02d-%02d %02d:%02d:%02d", year_ + 1900, month_ + 1, dayOfMonth_, hour_,
                      minute_, second_);
}

std::string TimeStamp::yearText() const {
    return formatText("%04d", year_ + 1900);
}

std::string TimeStamp::monthText() const {
    return formatText("%02d", month_ + 1);
}

std::string TimeStamp::dayText() const {
    return formatText("%02d", dayOfMonth_);
}

std::string TimeStamp::hourText() const {
    return formatText("%02d", hour_);
}

std::string TimeStamp::minuteText() const {
    return formatText("%02d", minute_);
}

std::string TimeStamp::secondText() const {
    return formatText("%02d", second_);
}

std::string TimeStamp::monthName() const {
    const bool known = month_ >= 0 && month_ < static_cast<std::int32_t>(monthAbbreviations.size());
    return known ? monthAbbreviations[static_cast<std::size_t>(month_)] : "";
}

std::int32_t TimeStamp::secondsIntoHour() const {
    return second_ + 60 * minute_;
}

}  // namespace torven
