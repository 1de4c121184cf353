#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "collection/DataCollectionType.h"

namespace torven {

class SiteConfiguration;

// The configured data streams, in configuration order; owns them.
class DataLogger {
  public:
    DataLogger() = default;
    DataLogger(const DataLogger&) = delete;
    DataLogger& operator=(const DataLogger&) = delete;

    // Creates a stream of that type and appends it; none (nothing added) for an unknown name.
    DataCollectionType* createType(const std::string& typeName);
    // Appends a stream made elsewhere (tests).
    DataCollectionType* addType(std::unique_ptr<DataCollectionType> type);

    int count() const { return static_cast<int>(types_.size()); }
    DataCollectionType* typeAt(int index) const;

    // Every stream's status becomes OnLine.
    void resetStatuses();
    void clear();

    // One pass of data file writing at the site's clock: a row for every stream whose
    // sample interval divides the second into the hour. Always true.
    bool writeTick(const SiteConfiguration& site);

  private:
    void writeStream(DataCollectionType& stream, const SiteConfiguration& site);
    void carryOverLastRow(DataCollectionType& stream) const;

    std::vector<std::unique_ptr<DataCollectionType>> types_;
    // The last row time of every stream ID that a configuration load has ended.
    std::map<std::string, std::int64_t> lastRowTimes_;
};

}  // namespace torven
