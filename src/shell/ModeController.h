#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "collection/DataLogger.h"
#include "devices/DeviceRegistry.h"
#include "shell/DataLoggingMode.h"
#include "time/TimeStamp.h"

namespace torven {

class SiteConfiguration;

// Decides what the program does on each cycle: a step first changes the mode when another
// one is requested (leave the old, enter the new), then does one pass of the current mode.
// Data collection keeps the devices connected, reads them, writes a row per new second and
// hands finished files over every 15 seconds; calibration does the same device work without
// files; stopped only hands files over.
class ModeController {
  public:
    void step(SiteConfiguration& site, DataLoggingMode requested);
    std::string modeName() const { return modeDisplayName(mode_); }
    DataLoggingMode mode() const { return mode_; }

    // Where a pass takes its time from (seconds since the epoch), called once per pass;
    // without one, the second of the pass's millisecond reading. Tests drive the controller
    // through chosen instants with it.
    void setTimeSource(std::function<std::int64_t()> timeSource) {
        timeSource_ = std::move(timeSource);
    }
    // Where the controller reads milliseconds since the epoch at the start of every pass;
    // without one, the system clock.
    void setMillisecondSource(DeviceRegistry::MillisecondClock millisecondSource) {
        millisecondSource_ = std::move(millisecondSource);
    }
    // Where the controller times its work (reconnection deadlines and spacing, the wait for
    // the next pass): milliseconds on a clock that setting the system clock does not move.
    // Without one, the millisecond source when a test has set one, else the system's
    // monotonic clock.
    void setMonotonicSource(DeviceRegistry::MillisecondClock monotonicSource) {
        monotonicSource_ = std::move(monotonicSource);
    }
    std::int64_t nowMilliseconds() const;
    std::int64_t monotonicMilliseconds() const;
    // The millisecond reading of the last data-collection or calibration pass (0 before one).
    std::int64_t lastPassMilliseconds() const { return lastPassMilliseconds_; }
    // The system clock as it would read now had nobody set it since the last pass: that
    // pass's reading advanced by the monotonic time gone by since.
    std::int64_t passClockNow() const;

    DataLogger dataLogger;
    DeviceRegistry devices;
    TimeStamp clock;

  private:
    void enter(SiteConfiguration& site, DataLoggingMode requested);
    void leave();
    void exitDataCollection();
    void exitCalibration();
    void pass(SiteConfiguration& site);
    void dataCollectionPass(SiteConfiguration& site);
    void calibrationPass();
    void readDevices();
    void reconnectLostDevices();
    void noteClockStep();
    void handOverAll(SiteConfiguration& site);

    std::int64_t lastLoggedSecond_ = 0;
    std::int64_t lastPassMilliseconds_ = 0;
    std::int64_t lastPassMonotonic_ = 0;
    // The system clock's lead over the monotonic clock at the last pass; none before one.
    std::optional<std::int64_t> clockOffset_;
    DataLoggingMode mode_ = DataLoggingMode::Initialize;
    std::function<std::int64_t()> timeSource_;
    DeviceRegistry::MillisecondClock millisecondSource_;
    DeviceRegistry::MillisecondClock monotonicSource_;
};

}  // namespace torven
