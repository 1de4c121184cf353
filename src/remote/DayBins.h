#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace torven {

// The readings of one bin of time.
struct PlotBin {
    double min = 0.0;
    double max = 0.0;
    double last = 0.0;
    std::uint32_t count = 0;
};

// One UTC day of a stream's readings, binned by time of day: its size and the cost of drawing
// it stay the same however many rows the day has.
struct DayBins {
    static constexpr std::int64_t binSeconds = 180;
    static constexpr std::size_t binCount = 86400 / binSeconds;

    // Adds a reading at a second of the day (0 to 86399; later seconds go to the last bin).
    void add(std::int64_t secondOfDay, double value);

    std::int64_t day = 0;  // days since 1970-01-01
    std::uint64_t rows = 0;
    std::array<PlotBin, binCount> bins{};
};

// The day's bins of every stream, by stream ID.
using DayPlots = std::map<std::string, DayBins>;

}  // namespace torven
