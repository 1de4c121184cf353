#pragma once

#include "collection/DataCollectionType.h"

namespace torven {

// Records one analog channel as a signed decimal with three fractional digits. The stream
// ID is the StationID, "_" and the first six characters of the MonitorID; SampleRate is the
// interval in seconds; the file header holds the site's and the station's metadata with the
// station computer's time zone.
class KoraliVxCollectionType : public DataCollectionType {
  public:
    std::string sampleText() const override;
    bool isOnline() const override;
    std::string buildId() override;
    std::string headerText(const SiteConfiguration& site) const override;
    std::string typeName() const override;
    void readSampleRate() override;
    void registerKeywords() override;
};

}  // namespace torven
