#pragma once

#include <cstdint>
#include <string>

namespace torven {

// One instant in UTC at a resolution of one second, with the textual forms the program
// writes, shows and logs. A new TimeStamp has every field 0 (it reads 1900-01-00 00:00:00).
class TimeStamp {
  public:
    // Reads the system clock, adds the offset and keeps the broken-down UTC time.
    void setToNow(std::int32_t offsetSeconds);
    // Sets the stamp to a given instant (seconds since the epoch).
    void setTo(std::int64_t epochSeconds);

    std::string dateTimeText() const;  // YYYY-MM-DD hh:mm:ss
    std::string yearText() const;      // YYYY
    std::string monthText() const;     // 01-12
    std::string dayText() const;       // 01-31
    std::string hourText() const;
    std::string minuteText() const;
    std::string secondText() const;
    std::string monthName() const;  // Jan .. Dec
    // second + 60 * minute: 0 at the top of the hour, 3599 at its last second.
    std::int32_t secondsIntoHour() const;

    std::int64_t seconds() const { return seconds_; }

  private:
    std::int64_t seconds_ = 0;
    std::int32_t second_ = 0;
    std::int32_t minute_ = 0;
    std::int32_t hour_ = 0;
    std::int32_t dayOfMonth_ = 0;
    std::int32_t month_ = 0;  // 0-11
    std::int32_t year_ = 0;   // years since 1900
    std::int32_t dayOfWeek_ = 0;
    std::int32_t dayOfYear_ = 0;
    std::int32_t daylightFlag_ = 0;
};

}  // namespace torven
