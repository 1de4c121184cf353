#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace torven::soak {

enum class FaultKind {
    None,          // healthy
    Silent,        // the port opens, nothing answers
    Flap,          // unplugged and plugged back, each for a set number of seconds
    NoFrameStart,  // answers commands, frames carry no frame start
    WrongNzReply,  // answers NZ wrongly, so the handshake never succeeds
};

struct DeviceFault {
    FaultKind kind = FaultKind::None;
    int flapSeconds = 0;  // Flap only: how long each plugged and each unplugged stretch lasts
};

// Which simulated device misbehaves how during a soak run, written as a comma-separated list
// of device:kind entries, e.g. "3:silent,5:flap:10,7:noframe,9:badnz"; devices not named are
// healthy, and "none" names none.
class FaultSchedule {
  public:
    // The schedule, or none with the reason in `message`.
    static std::optional<FaultSchedule> parse(std::string_view text, int deviceCount,
                                              std::string& message);
    // The usual mix, less the entries for devices beyond deviceCount.
    static std::string defaultText(int deviceCount);

    int deviceCount() const { return static_cast<int>(faults_.size()); }
    const DeviceFault& fault(int device) const { return faults_.at(device - 1); }  // from 1
    bool healthy(int device) const { return fault(device).kind == FaultKind::None; }
    // "healthy", "silent", "flap 10 s", "no frame start", "wrong NZ reply".
    std::string describe(int device) const;

    // Whether a flapping device is plugged in this many seconds after data collection began:
    // plugged for the first stretch, then unplugged, then plugged again, and so on.
    static bool plugged(double seconds, int flapSeconds);

  private:
    explicit FaultSchedule(int deviceCount) : faults_(deviceCount) {}
    std::vector<DeviceFault> faults_;
};

}  // namespace torven::soak
