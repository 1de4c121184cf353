#pragma once

#include <memory>
#include <string>
#include <vector>

#include "di194rs-sim/Di194RsSimulator.h"
#include "soak/FaultSchedule.h"
#include "soak/SoakAnalysis.h"
#include "soak/SoakRun.h"

namespace torven::soak {

class MonitorTerminal;
class SoakStation;

// The schedule's events that act on the monitor itself, made as their times come: the
// configuration rewritten with a comment line added, menu choices typed on its terminal (port
// scans, calibration) and healthy devices made silent together. Keeps when they happened, as
// the real times (seconds since the epoch) over which rows are not owed.
class MonitorEvents {
  public:
    // `configuration` is the text the station started with.
    MonitorEvents(const FaultSchedule& schedule, std::string configuration);

    // Makes every event due `sinceStart` seconds after data collection began (now: `now`).
    void drive(double now, double sinceStart, const SoakStation& station,
               const MonitorTerminal& terminal,
               std::vector<std::unique_ptr<sim::Di194RsSimulator>>& simulators,
               std::vector<StationEvent>& events, std::vector<std::string>& problems);
    // Ends the spans still open at the stop.
    void finish(double stopped);

    // From the first key of each calibration choice to the monitor reading the last key of
    // the choice back.
    const std::vector<RealSpan>& calibrationSpans() const { return calibrationSpans_; }
    // From each silencing of the device to its answering again.
    std::vector<RealSpan> silentSpans(int device) const;
    bool dropped(int device) const;
    int deviceCount() const { return deviceCount_; }

  private:
    enum class Mark { None, CalibrationBegins, CalibrationEnds };
    struct KeyPress {
        double atSecond;
        std::string bytes;
        std::string what;  // for the events; empty for the Escape before a letter
        Mark mark;
    };
    struct Silence {
        std::vector<int> devices;
        int untilSecond;  // after data collection began
        RealSpan span;
        bool open;
    };
    void driveReloads(double sinceStart, const SoakStation& station,
                      std::vector<StationEvent>& events, std::vector<std::string>& problems);
    void driveKeys(double now, double sinceStart, const MonitorTerminal& terminal,
                   std::vector<StationEvent>& events, std::vector<std::string>& problems);
    void driveDrops(double now, double sinceStart,
                    std::vector<std::unique_ptr<sim::Di194RsSimulator>>& simulators,
                    std::vector<StationEvent>& events);

    int deviceCount_;
    std::vector<int> reloads_;
    std::size_t nextReload_ = 0;
    std::string configuration_;
    std::vector<KeyPress> presses_;
    std::size_t nextPress_ = 0;
    bool awaitingRead_ = false;
    double lastRead_ = 0.0;
    std::vector<SimultaneousDrop> drops_;
    std::size_t nextDrop_ = 0;
    std::vector<Silence> silences_;
    std::vector<RealSpan> calibrationSpans_;
};

}  // namespace torven::soak
