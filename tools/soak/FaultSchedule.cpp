#include "soak/FaultSchedule.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace torven::soak {

namespace {

constexpr std::string_view kDefaultEntries[] = {"3:silent", "5:flap:10", "7:noframe", "9:badnz"};
// Both folders away and back before the clock steps; a small step back and forward; a UTC
// midnight, then a step back across it far enough to re-live a hand-over second (a multiple of
// 15 s) of the old day, and a step forward once the clock is past its last row again.
constexpr std::string_view kDefaultStationEvents =
    "nodata@15:8,nosend@25:6,clock@35:-2,clock@45:+5,midnight@60,clock@65:-25,clock@100:+3";
// The monitor's own events, in stretches where rows are owed and no other event runs (a
// second either side of a clock step owes nothing, and after the step back at 65 s nothing is
// owed until the clock is past its last row again, at about 90 s). The silenced devices owe
// rows again from 47 s, so that the reload's cost shows on them too.
constexpr std::string_view kDefaultDropTiming = "drop@37:";
constexpr std::string_view kDefaultDropSeconds = ":4";
constexpr int kDefaultDropCount = 3;
constexpr std::string_view kDefaultMonitorEvents = "reload@48,scan@55:4,calibrate@92:6";
// A key left for the port scan's result screen when the entry names no time.
constexpr int kScanKeySeconds = 5;
// Two keys of a menu choice (Escape, then the letter once the monitor has taken Escape).
constexpr int kMenuChoiceSeconds = 2;

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

// A whole decimal number of at most six digits; none for anything else.
std::optional<int> wholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 6)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<int> positiveNumber(std::string_view text) {
    const auto value = wholeNumber(text);
    if (!value || *value < 1)
        return std::nullopt;
    return value;
}

std::optional<FaultKind> kindNamed(std::string_view name) {
    if (name == "healthy")
        return FaultKind::None;
    if (name == "silent")
        return FaultKind::Silent;
    if (name == "flap")
        return FaultKind::Flap;
    if (name == "noframe")
        return FaultKind::NoFrameStart;
    if (name == "badnz")
        return FaultKind::WrongNzReply;
    return std::nullopt;
}

std::optional<DeviceFault> parseFault(const std::vector<std::string_view>& parts,
                                      std::string& message) {
    const auto kind = kindNamed(parts[1]);
    if (!kind) {
        message = "unknown fault '" + std::string(parts[1]) +
                  "' (healthy, silent, flap:SECONDS, noframe, badnz)";
        return std::nullopt;
    }
    if (*kind != FaultKind::Flap) {
        if (parts.size() == 2)
            return DeviceFault{*kind, 0};
        message = "'" + std::string(parts[1]) + "' takes no seconds";
        return std::nullopt;
    }
    const auto seconds = parts.size() == 3 ? positiveNumber(parts[2]) : std::nullopt;
    if (!seconds) {
        message = "flap needs its seconds, e.g. 5:flap:10";
        return std::nullopt;
    }
    return DeviceFault{FaultKind::Flap, *seconds};
}

}  // namespace

std::optional<FaultSchedule> FaultSchedule::parse(std::string_view text, int deviceCount,
                                                  std::string& message) {
    FaultSchedule schedule(deviceCount);
    if (text == "none")
        return schedule;
    std::vector<bool> named(deviceCount, false);
    for (std::string_view entry : split(text, ',')) {
        if (entry == "tmpfsdata" || entry.find('@') != std::string_view::npos) {
            if (!schedule.addStationEvent(entry, message))
                return std::nullopt;
            continue;
        }
        const std::vector<std::string_view> parts = split(entry, ':');
        const auto device = positiveNumber(parts[0]);
        if (parts.size() < 2 || parts.size() > 3 || !device) {
            message = "bad schedule entry '" + std::string(entry) + "' (want DEVICE:FAULT)";
            return std::nullopt;
        }
        if (*device > deviceCount) {
            message = "schedule names device " + std::to_string(*device) + ", but there are only " +
                      std::to_string(deviceCount);
            return std::nullopt;
        }
        if (named[*device - 1]) {
            message = "schedule names device " + std::to_string(*device) + " twice";
            return std::nullopt;
        }
        const auto fault = parseFault(parts, message);
        if (!fault)
            return std::nullopt;
        named[*device - 1] = true;
        schedule.faults_[*device - 1] = *fault;
    }
    if (schedule.keysOverlap()) {
        message = "the keys of two port scans or calibrations would overlap";
        return std::nullopt;
    }
    if (!schedule.chooseDroppedDevices(message))
        return std::nullopt;
    return schedule;
}

bool FaultSchedule::addStationEvent(std::string_view entry, std::string& message) {
    if (entry == "tmpfsdata") {
        dataOnTmpfs_ = true;
        return true;
    }
    const std::size_t at = entry.find('@');
    const std::string_view name = entry.substr(0, at);
    const std::vector<std::string_view> parts = split(entry.substr(at + 1), ':');
    const auto atSecond = wholeNumber(parts[0]);
    if (!atSecond) {
        message =
            "bad time in '" + std::string(entry) + "' (want seconds after data collection began)";
        return false;
    }
    if (name == "midnight" && parts.size() == 1 && !midnightSecond_) {
        midnightSecond_ = *atSecond;
        return true;
    }
    if (name == "clock" && parts.size() == 2)
        return addClockStep(*atSecond, parts[1], message);
    if ((name == "nodata" || name == "nosend") && parts.size() == 2)
        return addFolderOutage(name == "nodata" ? "Data" : "ToSend", *atSecond, parts[1], message);
    message.clear();
    if (addMonitorEvent(name, *atSecond, parts, message))
        return true;
    if (message.empty()) {
        message = "bad station event '" + std::string(entry) +
                  "' (clock@T:+N, clock@T:-N, midnight@T once, nodata@T:D, nosend@T:D, "
                  "tmpfsdata, reload@T, scan@T[:K|:stay], calibrate@T:D, drop@T:N:D)";
    }
    return false;
}

// Leaves `message` empty when the entry is none of these events.
bool FaultSchedule::addMonitorEvent(std::string_view name, int atSecond,
                                    const std::vector<std::string_view>& parts,
                                    std::string& message) {
    const auto byTime = [](const auto& a, const auto& b) { return a.atSecond < b.atSecond; };
    if (name == "reload" && parts.size() == 1) {
        reloads_.push_back(atSecond);
        std::sort(reloads_.begin(), reloads_.end());
        return true;
    }
    if (name == "scan" && parts.size() <= 2) {
        PortScan scan{atSecond, kScanKeySeconds};
        if (parts.size() == 2)
            scan.keySeconds = parts[1] == "stay" ? std::nullopt : positiveNumber(parts[1]);
        if (parts.size() == 2 && parts[1] != "stay" && !scan.keySeconds) {
            message = "a port scan wants the seconds until its key or stay, e.g. scan@50:4";
            return false;
        }
        scans_.push_back(scan);
        std::sort(scans_.begin(), scans_.end(), byTime);
        return true;
    }
    if (name == "calibrate" && parts.size() == 2) {
        const auto seconds = positiveNumber(parts[1]);
        if (!seconds) {
            message = "calibration wants its seconds, e.g. calibrate@90:6";
            return false;
        }
        calibrations_.push_back({atSecond, *seconds});
        std::sort(calibrations_.begin(), calibrations_.end(), byTime);
        return true;
    }
    if (name == "drop" && parts.size() == 3) {
        const auto count = positiveNumber(parts[1]);
        const auto seconds = positiveNumber(parts[2]);
        if (!count || !seconds) {
            message = "a drop wants its device count and seconds, e.g. drop@40:3:5";
            return false;
        }
        drops_.push_back({atSecond, *count, *seconds, {}});
        std::sort(drops_.begin(), drops_.end(), byTime);
        return true;
    }
    return false;
}

// Keys of one menu choice must reach the monitor before the next choice begins, and nothing
// can be chosen while a scan's result screen is left standing.
bool FaultSchedule::keysOverlap() const {
    std::vector<std::pair<long long, long long>> spans;
    for (const PortScan& scan : scans_) {
        const long long end = scan.keySeconds
                                  ? scan.atSecond + *scan.keySeconds + kMenuChoiceSeconds
                                  : std::numeric_limits<long long>::max();
        spans.emplace_back(scan.atSecond, end);
    }
    for (const CalibrationSpell& spell : calibrations_)
        spans.emplace_back(spell.atSecond, spell.atSecond + spell.seconds + kMenuChoiceSeconds);
    std::sort(spans.begin(), spans.end());
    for (std::size_t i = 1; i < spans.size(); ++i) {
        if (spans[i].first < spans[i - 1].second)
            return true;
    }
    return false;
}

// Every drop takes the highest-numbered healthy devices that no drop overlapping it in time
// has taken, so that the low-numbered devices go on as witnesses.
bool FaultSchedule::chooseDroppedDevices(std::string& message) {
    for (std::size_t i = 0; i < drops_.size(); ++i) {
        SimultaneousDrop& drop = drops_[i];
        const auto takenByOverlapping = [&](int device) {
            return std::any_of(drops_.begin(), drops_.begin() + static_cast<long>(i),
                               [&](const SimultaneousDrop& other) {
                                   return other.atSecond + other.seconds > drop.atSecond &&
                                          std::count(other.devices.begin(), other.devices.end(),
                                                     device) > 0;
                               });
        };
        for (int device = deviceCount();
             device >= 1 && drop.count > static_cast<int>(drop.devices.size()); --device) {
            if (healthy(device) && !takenByOverlapping(device))
                drop.devices.push_back(device);
        }
        if (static_cast<int>(drop.devices.size()) < drop.count) {
            message = "drop@" + std::to_string(drop.atSecond) + " wants " +
                      std::to_string(drop.count) + " healthy devices, only " +
                      std::to_string(drop.devices.size()) + " are free";
            return false;
        }
    }
    return true;
}

bool FaultSchedule::addClockStep(int atSecond, std::string_view step, std::string& message) {
    const auto size = step.empty() ? std::nullopt : positiveNumber(step.substr(1));
    if (!size || (step[0] != '+' && step[0] != '-')) {
        message = "a clock step wants a sign and seconds, e.g. clock@40:-2";
        return false;
    }
    const bool taken =
        std::any_of(clockSteps_.begin(), clockSteps_.end(),
                    [atSecond](const ClockStep& s) { return s.atSecond == atSecond; });
    if (taken) {
        message = "two clock steps at " + std::to_string(atSecond) + " s";
        return false;
    }
    clockSteps_.push_back({atSecond, step[0] == '-' ? -*size : *size});
    std::sort(clockSteps_.begin(), clockSteps_.end(),
              [](const ClockStep& a, const ClockStep& b) { return a.atSecond < b.atSecond; });
    return true;
}

bool FaultSchedule::addFolderOutage(std::string folder, int atSecond, std::string_view seconds,
                                    std::string& message) {
    const auto length = positiveNumber(seconds);
    if (!length) {
        message = "a folder outage wants its seconds, e.g. nodata@20:8";
        return false;
    }
    const FolderOutage outage{std::move(folder), atSecond, *length};
    const bool overlaps =
        std::any_of(folderOutages_.begin(), folderOutages_.end(), [&outage](const FolderOutage& o) {
            return o.folder == outage.folder && o.atSecond < outage.atSecond + outage.seconds &&
                   outage.atSecond < o.atSecond + o.seconds;
        });
    if (overlaps) {
        message = "two outages of " + outage.folder + " overlap";
        return false;
    }
    folderOutages_.push_back(outage);
    std::sort(folderOutages_.begin(), folderOutages_.end(),
              [](const FolderOutage& a, const FolderOutage& b) { return a.atSecond < b.atSecond; });
    return true;
}

std::string FaultSchedule::defaultText(int deviceCount) {
    std::string text;
    int healthy = deviceCount;
    for (std::string_view entry : kDefaultEntries) {
        if (std::atoi(std::string(entry).c_str()) > deviceCount)
            continue;
        text += std::string(entry) + ",";
        --healthy;
    }
    text += std::string(kDefaultStationEvents) + ",";
    // One healthy device at least stays up beside the drop.
    const int dropped = std::min(kDefaultDropCount, healthy - 1);
    if (dropped > 0) {
        text += std::string(kDefaultDropTiming) + std::to_string(dropped) +
                std::string(kDefaultDropSeconds) + ",";
    }
    return text + std::string(kDefaultMonitorEvents);
}

std::string FaultSchedule::describe(int device) const {
    const DeviceFault& f = fault(device);
    switch (f.kind) {
        case FaultKind::None:
            return "healthy";
        case FaultKind::Silent:
            return "silent";
        case FaultKind::Flap:
            return "flap " + std::to_string(f.flapSeconds) + " s";
        case FaultKind::NoFrameStart:
            return "no frame start";
        case FaultKind::WrongNzReply:
            return "wrong NZ reply";
    }
    return "?";
}

bool FaultSchedule::plugged(double seconds, int flapSeconds) {
    if (flapSeconds < 1 || seconds < 0)
        return true;
    return static_cast<long long>(std::floor(seconds / flapSeconds)) % 2 == 0;
}

}  // namespace torven::soak
