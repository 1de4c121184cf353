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

    // The header each stream's next data file would begin with, in list order, at the site's
    // clock: a reload compares the headers of both configurations at one instant.
    std::vector<std::string> headerTexts(const SiteConfiguration& site) const;
    // Puts the streams of `built` (a configuration just loaded, bound to the channels of the
    // devices now configured) in place of its own, which are destroyed; `built` is left empty.
    // A built stream that records what one of its own recorded (same ID, type and channel
    // object) under the same header goes on with that stream's file, last row and status, so
    // that a reload which leaves it alone costs it nothing. The headers are in list order, of
    // its own streams and of the built ones, taken at one instant.
    void takeOver(DataLogger& built, const std::vector<std::string>& ownHeaders,
                  const std::vector<std::string>& builtHeaders);

    // One pass of data file writing at the site's clock: a row for every stream whose
    // sample interval divides the second into the hour. Always true.
    bool writeTick(const SiteConfiguration& site);

  private:
    void writeStream(DataCollectionType& stream, const SiteConfiguration& site);
    void carryOverLastRow(DataCollectionType& stream) const;
    const DataCollectionType* sameStream(const DataCollectionType& built,
                                         const std::string& builtHeader,
                                         const std::vector<std::string>& ownHeaders) const;

    std::vector<std::unique_ptr<DataCollectionType>> types_;
    // The last row time of every stream ID that a configuration load has ended.
    std::map<std::string, std::int64_t> lastRowTimes_;
};

}  // namespace torven
