#pragma once

#include <cstdint>
#include <vector>

namespace torven::soak {

// A second of the faked clock and the real time (seconds since the epoch) at which it began.
struct LivedSecond {
    std::int64_t second = 0;
    double realTime = 0.0;
};

// The monitor's wall clock over a soak run: the real time plus the offset in force, which
// the run changes at its clock steps. Real times are seconds since the epoch with fractions;
// the offsets are whole seconds, so the faked seconds begin when the real ones do.
class FakedTimeline {
  public:
    explicit FakedTimeline(std::int64_t startOffset) : startOffset_(startOffset) {}

    // From `realTime` on the offset is `offset`; steps come in time order.
    void step(double realTime, std::int64_t offset);
    std::int64_t offsetAt(double realTime) const;
    double fakedAt(double realTime) const {
        return realTime + static_cast<double>(offsetAt(realTime));
    }

    // The faked seconds that the monitor's clock began for the first time while the real time
    // went from `from` to `to` (from included), in order. The clock is followed from `begin`
    // on, so a second it lived before a step back is not lived again. Seconds within `slack`
    // (from 1) of the seconds of a step's departure and landing are left out: the monitor may
    // see a step a little before or after the run makes it.
    std::vector<std::int64_t> firstLivedSeconds(double begin, double from, double to,
                                                int slack) const;
    // The same seconds with the real times at which they began.
    std::vector<LivedSecond> firstLived(double begin, double from, double to, int slack) const;

    // The real times between `from` and `to` at which the faked clock began a UTC day.
    std::vector<double> midnights(double from, double to) const;

  private:
    struct Step {
        double realTime;
        std::int64_t offset;
    };
    bool nearStep(std::int64_t second, int slack) const;

    std::int64_t startOffset_;
    std::vector<Step> steps_;
};

}  // namespace torven::soak
