#pragma once

#include <chrono>
#include <thread>

namespace torven::test {

// Tests the condition every few milliseconds until it holds or the time-out has passed.
// True when it held; the time-out is a generous ceiling for a loaded machine, not a timing
// requirement.
template <typename Condition>
bool waitUntil(Condition condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(10000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace torven::test
