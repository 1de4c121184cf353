#include "soak/StopSignals.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace torven::soak {

StopSignals::StopSignals() {
    sigemptyset(&stopSet_);
    sigaddset(&stopSet_, SIGINT);
    sigaddset(&stopSet_, SIGTERM);
    sigaddset(&stopSet_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSet_, &previousMask_);
}

StopSignals::~StopSignals() {
    // Take what is still pending so that restoring the mask does not end the process.
    const timespec none{0, 0};
    while (sigtimedwait(&stopSet_, nullptr, &none) > 0) {
    }
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

bool StopSignals::waitFor(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return received_;
        const timespec wait{static_cast<time_t>(left.count() / 1000000000),
                            static_cast<long>(left.count() % 1000000000)};
        if (sigtimedwait(&stopSet_, nullptr, &wait) > 0) {
            received_ = true;
            return true;
        }
        if (errno == EAGAIN)
            return received_;
    }
}

}  // namespace torven::soak
