#pragma once

#include <cstdint>
#include <string>

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

    DataLogger dataLogger;
    DeviceRegistry devices;
    TimeStamp clock;

private:
    void enter(SiteConfiguration& site, DataLoggingMode requested);
    void leave();
    void exitDataCollection();
    void exitCalibration();
    void dataCollectionPass(SiteConfiguration& site);
    void calibrationPass(SiteConfiguration& site);
    void handOverAll(SiteConfiguration& site);

    std::int32_t lastLoggedSecond_ = 0;
    DataLoggingMode mode_ = DataLoggingMode::Initialize;
};

}  // namespace torven
