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

// The monitor's wall clock stepped by `seconds` (forward when positive) `atSecond` seconds
// after data collection began.
struct ClockStep {
    int atSecond = 0;
    int seconds = 0;
};

// A station folder ("Data" or "ToSend") taken away `atSecond` seconds after data collection
// began and made again, empty, `seconds` later.
struct FolderOutage {
    std::string folder;
    int atSecond = 0;
    int seconds = 0;
};

// The port scan typed to the monitor (Escape S) `atSecond` seconds after data collection began;
// a key leaves its result screen `keySeconds` later, or none is typed and the screen is left
// standing.
struct PortScan {
    int atSecond = 0;
    std::optional<int> keySeconds;
};

// Calibration typed to the monitor (Escape C) at `atSecond`, and data collection again
// (Escape D) `seconds` later.
struct CalibrationSpell {
    int atSecond = 0;
    int seconds = 0;
};

// `count` healthy devices made silent at the same instant `atSecond` seconds after data
// collection began and answering again `seconds` later; `devices` are the ones chosen.
struct SimultaneousDrop {
    int atSecond = 0;
    int count = 0;
    int seconds = 0;
    std::vector<int> devices;
};

// What goes wrong during a soak run, written as a comma-separated list of entries:
// - DEVICE:KIND for a simulated device, e.g. "3:silent,5:flap:10,7:noframe,9:badnz"; devices
//   not named are healthy;
// - station-wide events, their times in seconds after data collection began:
//   "clock@T:+N" / "clock@T:-N" steps the monitor's clock N seconds forward or back,
//   "midnight@T" starts the monitor's clock so that it reaches a UTC midnight at about T,
//   "nodata@T:D" and "nosend@T:D" take Data or ToSend away for D seconds,
//   "tmpfsdata" puts Data on another filesystem (a link to a folder under /dev/shm),
//   "reload@T" rewrites the configuration with a comment line added (replaced in one step),
//   "scan@T", "scan@T:K" or "scan@T:stay" types Escape S and a key after 5 s, after K s or never,
//   "calibrate@T:D" types Escape C and, D seconds later, Escape D,
//   "drop@T:N:D" silences N healthy devices at once for D seconds (the highest-numbered
//   healthy devices that no overlapping drop has taken).
// "none" names nothing.
class FaultSchedule {
  public:
    // The schedule, or none with the reason in `message`.
    static std::optional<FaultSchedule> parse(std::string_view text, int deviceCount,
                                              std::string& message);
    // The usual mix of device faults, less the entries for devices beyond deviceCount, and of
    // station-wide events.
    static std::string defaultText(int deviceCount);

    int deviceCount() const { return static_cast<int>(faults_.size()); }
    const DeviceFault& fault(int device) const { return faults_.at(device - 1); }  // from 1
    bool healthy(int device) const { return fault(device).kind == FaultKind::None; }
    // "healthy", "silent", "flap 10 s", "no frame start", "wrong NZ reply".
    std::string describe(int device) const;

    // Whether a flapping device is plugged in this many seconds after data collection began:
    // plugged for the first stretch, then unplugged, then plugged again, and so on.
    static bool plugged(double seconds, int flapSeconds);

    // In the order of their times.
    const std::vector<ClockStep>& clockSteps() const { return clockSteps_; }
    const std::vector<FolderOutage>& folderOutages() const { return folderOutages_; }
    std::optional<int> midnightSecond() const { return midnightSecond_; }
    bool dataOnTmpfs() const { return dataOnTmpfs_; }
    const std::vector<int>& reloads() const { return reloads_; }
    const std::vector<PortScan>& scans() const { return scans_; }
    const std::vector<CalibrationSpell>& calibrations() const { return calibrations_; }
    const std::vector<SimultaneousDrop>& drops() const { return drops_; }

  private:
    explicit FaultSchedule(int deviceCount) : faults_(deviceCount) {}
    bool addStationEvent(std::string_view entry, std::string& message);
    bool addClockStep(int atSecond, std::string_view step, std::string& message);
    bool addFolderOutage(std::string folder, int atSecond, std::string_view seconds,
                         std::string& message);
    bool addMonitorEvent(std::string_view name, int atSecond,
                         const std::vector<std::string_view>& parts, std::string& message);
    bool keysOverlap() const;
    bool chooseDroppedDevices(std::string& message);

    std::vector<DeviceFault> faults_;
    std::vector<ClockStep> clockSteps_;
    std::vector<FolderOutage> folderOutages_;
    std::optional<int> midnightSecond_;
    bool dataOnTmpfs_ = false;
    std::vector<int> reloads_;
    std::vector<PortScan> scans_;
    std::vector<CalibrationSpell> calibrations_;
    std::vector<SimultaneousDrop> drops_;
};

}  // namespace torven::soak
