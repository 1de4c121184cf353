#include "soak/FaultSchedule.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace torven::soak {

namespace {

constexpr std::string_view kDefaultEntries[] = {"3:silent", "5:flap:10", "7:noframe", "9:badnz"};
// Both folders away and back before the clock steps; a small step back and forward; a UTC
// midnight, then a step back across it far enough to re-live a hand-over second (a multiple of
// 15 s) of the old day, and a step forward once the clock is past its last row again.
constexpr std::string_view kDefaultStationEvents =
    "nodata@15:8,nosend@25:6,clock@35:-2,clock@45:+5,midnight@60,clock@65:-25,clock@100:+3";

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
    message = "bad station event '" + std::string(entry) +
              "' (clock@T:+N, clock@T:-N, midnight@T once, nodata@T:D, nosend@T:D, tmpfsdata)";
    return false;
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
    for (std::string_view entry : kDefaultEntries) {
        if (std::atoi(std::string(entry).c_str()) > deviceCount)
            continue;
        text += std::string(entry) + ",";
    }
    return text + std::string(kDefaultStationEvents);
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
