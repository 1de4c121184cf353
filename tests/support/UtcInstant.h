#pragma once

#include <cstdint>

namespace torven::test {

// Seconds since the epoch of a UTC calendar time (month 1-12), for clocks set to fixed
// instants.
std::int64_t utcInstant(int year, int month, int day, int hour, int minute, int second);

}  // namespace torven::test
