#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "soak/FaultSchedule.h"
#include "soak/ProcessFigures.h"
#include "soak/SoakAnalysis.h"
#include "soak/SoakPlan.h"

namespace torven::soak {

class StopSignals;

struct SoakOptions {
    int devices = 16;
    int seconds = 120;     // of data collection, from its first pass to the stop
    std::string schedule;  // empty: FaultSchedule::defaultText for the device count
    std::filesystem::path monitor;
    bool keep = false;  // leave the station folder for inspection
};

struct StreamResult {
    StreamPlan plan;
    bool healthy = true;
    int files = 0;
    StreamFigures figures;
    std::optional<double> worstRowIntervalMs;  // rate-1 streams of healthy devices only
};

struct FlapRecovery {
    double plugSecond = 0.0;        // seconds after data collection began
    std::optional<double> msToRow;  // until the next row of the device's rate-1 stream
};

struct DeviceResult {
    int device = 0;
    std::string role;
    bool healthy = true;
    int returnedOnline = 0;  // " has returned online" entries in the event log
    std::vector<FlapRecovery> recoveries;
};

// Something the run did to the station, or a UTC midnight of the monitor's clock.
struct StationEvent {
    double atSecond = 0.0;  // after data collection began
    std::string what;
};

struct SoakResult {
    int devices = 0;
    int seconds = 0;
    std::string schedule;
    std::filesystem::path station;
    bool stationKept = false;
    std::int64_t collectionStart = 0;      // the "Entering Data Collection Mode" entry's time
    std::optional<std::int64_t> firstRow;  // the earliest row of any stream
    std::int64_t startOffset = 0;          // of the monitor's clock from the real time
    // The seconds of the monitor's clock over which rows are counted (first, last, how many).
    std::optional<std::int64_t> firstCounted;
    std::optional<std::int64_t> lastCounted;
    int countedSeconds = 0;
    std::vector<StationEvent> events;
    std::optional<ProcessFigures> startFigures;
    std::optional<ProcessFigures> endFigures;
    double measuredSeconds = 0.0;  // wall time between the two process samples
    std::string monitorEnding;
    int eventLogLines = 0;
    std::uintmax_t eventLogBytes = 0;
    int filesLeftInTmp = 0;          // data files the stop did not hand over
    int filesMissingFromToSend = 0;  // data files without an identical copy in ToSend/
    std::vector<StreamResult> streams;
    std::vector<DeviceResult> deviceResults;
    std::vector<std::string> problems;  // anything that makes the run fail besides the rows

    bool healthyComplete() const;
    double minHealthyCompleteness() const;
    // All rows of healthy devices together: written and due.
    int healthyRowsWritten() const;
    int healthyRowsDue() const;
    bool rowsSound() const;
    std::optional<double> worstRowIntervalMs() const;
    bool passed() const;
};

// Builds the station, starts the simulators and the monitor (its wall clock under libfaketime),
// injects the faults, stops the monitor with SIGINT after the run time and measures. None, with the
// reason in `message`, when the run could not be set up or the monitor never began collecting data.
std::optional<SoakResult> runSoak(const SoakOptions& options, const FaultSchedule& schedule,
                                  StopSignals& signals, std::string& message);

}  // namespace torven::soak
