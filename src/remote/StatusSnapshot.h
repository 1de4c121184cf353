#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torven {

class SiteConfiguration;

// A data stream as the remote status shows it.
struct StreamSnapshot {
    std::string id;
    std::string typeName;
    std::string status;  // the status word the console shows ("LOGGING", ...)
    std::int32_t statusCode = 0;
    std::int32_t sampleInterval = 0;
    std::uint64_t rowsWritten = 0;
    std::uint64_t fileWriteErrors = 0;
    std::optional<std::int64_t> lastRowTime;  // seconds since the epoch; none before the first
    // The stream's current data file in the tmp directory; empty before its first row.
    std::string currentFileName;
};

// One input channel of a device, with the stream that records it when there is one.
struct ChannelSnapshot {
    std::int32_t number = 0;
    // The latest reading when the device is connected and the reading is good.
    std::optional<double> value;
    std::string valueText;  // as the console shows it: "........" without a reading
    std::optional<StreamSnapshot> stream;
};

struct DeviceSnapshot {
    std::string port;           // the configured port text ("COM3", "COM*")
    std::string connectedPort;  // "COMn" of the current or last connection
    std::string typeName;
    bool connected = false;
    std::uint64_t reconnections = 0;
    std::uint64_t failedHandshakes = 0;
    std::uint64_t failedReads = 0;
    std::vector<ChannelSnapshot> channels;
};

// A copy of everything the remote status tells, taken in one go under the program lock so
// that the answers to a request are made from it without the lock.
struct StatusSnapshot {
    std::string version;
    std::string mode;      // "INITIALIZE", "DATALOG", "CALIBRATE" or "STOPPED"
    std::string modeText;  // as the console shows it ("* * *  C A L I B R A T E  * * *")
    std::string site;      // the site ID; empty while no configuration is loaded
    // The UTC time of the last pass as seconds since the epoch and as "YYYY-MM-DD hh:mm:ss";
    // none before the first pass.
    std::optional<std::int64_t> lastPassTime;
    std::string lastPassText;
    // The text of the red configuration error box while it is shown.
    std::optional<std::string> configurationError;
    std::int64_t startTime = 0;  // of the program, seconds since the epoch
    // Event log lines written since the start, by level (CONF, INFO, WARN, ERROR, FATAL).
    std::array<std::uint64_t, 5> eventLogLines{};
    // Finished data files in the tmp directory still waiting for their hand-over.
    std::uint64_t finishedFilesWaiting = 0;
    std::vector<DeviceSnapshot> devices;
};

// The snapshot of the site's state now; the caller holds the program lock. The count of
// finished files is left to countFinishedFiles, which reads a directory and needs no lock.
StatusSnapshot takeStatusSnapshot(const SiteConfiguration& site, std::int64_t startTime);

// Counts the data files in the tmp directory that are not a stream's current file: finished
// files that wait for their hand-over.
void countFinishedFiles(StatusSnapshot& snapshot, const std::string& tmpDirectory);

}  // namespace torven
