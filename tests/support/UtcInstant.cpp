#include "support/UtcInstant.h"

#include <chrono>

namespace torven::test {

std::int64_t utcInstant(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date{std::chrono::year(year) / month / day};
    const sys_seconds instant = date + hours(hour) + minutes(minute) + seconds(second);
    return instant.time_since_epoch().count();
}

}  // namespace torven::test
