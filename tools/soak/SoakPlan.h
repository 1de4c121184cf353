#pragma once

#include <array>
#include <string>
#include <vector>

namespace torven::soak {

// One recorded channel of a soak station.
struct StreamPlan {
    int device = 0;   // from 1; the device sits on port COM<device>
    int channel = 0;  // 1 to 4
    int sampleInterval = 0;
    std::string stationId;  // e.g. D03C2
    std::string streamId;   // stationId + "_" + the monitor ID, as in the data file names
    double volts = 0.0;     // the constant the simulated channel sends
    std::string valueText;  // the value as every row of this stream must show it
};

// The station a soak run builds: deviceCount DI-194RS devices on COM1 onwards, every channel
// recorded at its own sample interval, every channel sending a constant of its own that the
// device's 10-bit counts carry exactly.
class SoakPlan {
  public:
    static constexpr int kMaxDevices = 20;
    static constexpr std::array<int, 4> kSampleIntervals = {1, 2, 5, 10};
    static constexpr const char* kMonitorId = "000001";

    explicit SoakPlan(int deviceCount);

    int deviceCount() const { return deviceCount_; }
    const std::vector<StreamPlan>& streams() const { return streams_; }
    // The site configuration file for the station.
    std::string configurationText() const;

    static double channelVolts(int device, int channel);
    static std::string portName(int device) { return "COM" + std::to_string(device); }

  private:
    int deviceCount_;
    std::vector<StreamPlan> streams_;
};

}  // namespace torven::soak
