#include "remote/DayBins.h"

#include <algorithm>

namespace torven {

void DayBins::add(std::int64_t secondOfDay, double value) {
    const std::int64_t index = std::clamp<std::int64_t>(secondOfDay / binSeconds, 0,
                                                        static_cast<std::int64_t>(binCount) - 1);
    PlotBin& bin = bins[static_cast<std::size_t>(index)];
    bin.min = bin.count == 0 ? value : std::min(bin.min, value);
    bin.max = bin.count == 0 ? value : std::max(bin.max, value);
    bin.last = value;
    ++bin.count;
    ++rows;
}

}  // namespace torven
