#include "platform/SystemClock.h"

#include <chrono>

namespace torven::platform {

namespace {

template <typename Clock>
std::int64_t millisecondsOf() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::int64_t currentEpochSeconds() {
    return millisecondsOf<std::chrono::system_clock>() / 1000;
}

std::int64_t currentEpochMilliseconds() {
    return millisecondsOf<std::chrono::system_clock>();
}

std::int64_t monotonicMilliseconds() {
    return millisecondsOf<std::chrono::steady_clock>();
}

}  // namespace torven::platform
