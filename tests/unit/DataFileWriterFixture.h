#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "collection/DataLogger.h"
#include "config/SiteConfiguration.h"
#include "support/ScratchStation.h"
#include "support/UtcInstant.h"

// The data file writer's tests, shared by the files of its portable and its Linux-only cases.
namespace torven::test {

// A stream whose every answer the test decides.
class ScriptedStream : public DataCollectionType {
  public:
    ScriptedStream(std::string id, std::int32_t interval) {
        setStreamId(std::move(id));
        setSampleInterval(interval);
    }

    std::string sampleText() const override { return sample; }
    bool isOnline() const override { return online; }
    std::string buildId() override { return id(); }
    std::string headerText(const SiteConfiguration&) const override { return header; }
    std::string typeName() const override { return "SCRIPTED"; }
    void readSampleRate() override {}
    void registerKeywords() override {}

    bool online = true;
    std::string sample = "+1.234";
    std::string header = "# Site = Hilltop\n#\n# StationID = HT1\n";

    static constexpr const char* storedHeader = "# Site = Hilltop\r\n#\r\n# StationID = HT1\r\n";
};

inline const std::int64_t firstRowTime = utcInstant(2011, 5, 3, 18, 18, 45);
inline const std::string firstFile = "20110503_181845_HT1_123456.csv";

inline std::string row(const std::string& dateTime, const std::string& sample = "+1.234") {
    return dateTime + ", " + sample + "\r\n";
}

class DataFileWriterTest : public ::testing::Test {
  protected:
    ScriptedStream& addStream(const std::string& id = "HT1_123456", std::int32_t interval = 5) {
        auto stream = std::make_unique<ScriptedStream>(id, interval);
        ScriptedStream& added = *stream;
        site.modeController.dataLogger.addType(std::move(stream));
        added.setStatus(CollectionStatus::OnLine);
        return added;
    }

    void tickAt(std::int64_t epochSeconds) {
        site.modeController.clock.setTo(epochSeconds);
        EXPECT_TRUE(site.modeController.dataLogger.writeTick(site));
    }

    // The messages of the event log entries at one level, in order.
    std::vector<std::string> events(const std::string& level) const {
        std::vector<std::string> messages;
        const std::string marker = ", " + level + ", \"";
        for (const std::string& line : station.eventLogLines()) {
            const auto at = line.find(marker);
            if (at == std::string::npos)
                continue;
            const auto start = at + marker.size();
            messages.push_back(line.substr(start, line.size() - start - 1));
        }
        return messages;
    }

    ScratchStation station;
    SiteConfiguration site;
};

}  // namespace torven::test
