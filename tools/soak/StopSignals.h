#pragma once

#include <signal.h>

#include <chrono>

namespace torven::soak {

// Holds back SIGINT, SIGTERM and SIGHUP from every thread made after it (so the simulators'
// threads never take them) and lets the run ask for them while it waits: Control-C at the
// terminal ends a soak run in order instead of killing it. The mask is restored at the end.
class StopSignals {
  public:
    StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
    ~StopSignals();

    // Waits up to `limit`; true when a stop signal came meanwhile (or had come before).
    bool waitFor(std::chrono::milliseconds limit);
    bool received() const { return received_; }

  private:
    sigset_t stopSet_;
    sigset_t previousMask_;
    bool received_ = false;
};

}  // namespace torven::soak
