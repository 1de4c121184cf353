#pragma once

#include <optional>
#include <string_view>

namespace torven::soak {

// CPU time and resident memory of a running process, as /proc reports them.
struct ProcessFigures {
    double cpuSeconds = 0.0;  // user and system time together
    long rssKib = 0;

    // The figures of a live process; none when it is gone or /proc cannot be read.
    static std::optional<ProcessFigures> sample(int pid);
};

// User plus system time from the text of /proc/PID/stat, in seconds.
std::optional<double> cpuSecondsFromStat(std::string_view statText, long ticksPerSecond);
// VmRSS from the text of /proc/PID/status, in KiB.
std::optional<long> rssKibFromStatus(std::string_view statusText);

}  // namespace torven::soak
