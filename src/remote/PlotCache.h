#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "remote/DayBins.h"
#include "remote/StatusSnapshot.h"
#include "remote/TodayRows.h"

namespace torven {

// Today's rows of every stream of the station, kept between requests so that each request
// reads only what the data files gained since the one before. Requests on several threads may
// use it at once; it has a lock of its own and never needs the program lock.
class PlotCache {
  public:
    // The directory texts of the station ("..\tmp\", "..\Data\").
    PlotCache(std::string tmpDirectory, std::string dataDirectory);

    // Brings the rows of every stream in the snapshot up to date, forgets the streams no
    // longer in it, and returns a copy of each stream's bins by stream ID.
    DayPlots update(const StatusSnapshot& snapshot, std::int64_t nowEpochSeconds);

  private:
    const std::string tmpDirectory_;
    const std::string dataDirectory_;
    std::mutex mutex_;
    std::map<std::string, TodayRows> streams_;
};

}  // namespace torven
