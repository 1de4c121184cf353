#pragma once

#include <cstdint>
#include <string>

#include "collection/DataCollectionType.h"

namespace torven::test {

// A data stream for tests: a fixed ID and sample interval, a one-line header, and the bound
// channel's value text as its sample. Counts the samples taken, which is the number of rows
// the writer wrote.
class FakeStream : public DataCollectionType {
  public:
    FakeStream(std::string id, std::int32_t sampleInterval);

    std::string sampleText() const override;
    bool isOnline() const override;
    std::string buildId() override { return id(); }
    std::string headerText(const SiteConfiguration& site) const override;
    std::string typeName() const override { return "FAKE-TYPE"; }
    void readSampleRate() override {}
    void registerKeywords() override {}

    int samplesTaken() const { return samplesTaken_; }

  private:
    mutable int samplesTaken_ = 0;
};

}  // namespace torven::test
