#include "soak/FaultSchedule.h"

#include <cmath>
#include <cstdlib>

namespace torven::soak {

namespace {

constexpr std::string_view kDefaultEntries[] = {"3:silent", "5:flap:10", "7:noframe", "9:badnz"};

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

// A whole positive decimal number of at most six digits; none for anything else.
std::optional<int> positiveNumber(std::string_view text) {
    if (text.empty() || text.size() > 6)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1)
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

std::string FaultSchedule::defaultText(int deviceCount) {
    std::string text;
    for (std::string_view entry : kDefaultEntries) {
        if (std::atoi(std::string(entry).c_str()) > deviceCount)
            continue;
        if (!text.empty())
            text += ',';
        text += entry;
    }
    return text.empty() ? "none" : text;
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
