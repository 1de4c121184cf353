#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "collection/DataLogger.h"

namespace torven {
namespace {

class CountedStream : public DataCollectionType {
  public:
    explicit CountedStream(int& alive) : alive_(alive) { ++alive_; }
    ~CountedStream() override { --alive_; }

    std::string sampleText() const override { return ""; }
    bool isOnline() const override { return true; }
    std::string buildId() override { return id(); }
    std::string headerText(const SiteConfiguration&) const override { return ""; }
    std::string typeName() const override { return "COUNTED"; }
    void readSampleRate() override {}
    void registerKeywords() override {}

  private:
    int& alive_;
};

TEST(DataLoggerTest, OnlyTheExactTypeNameCreatesAStream) {
    DataLogger logger;
    for (const std::string name : {"korali-vx", "KORALI-VX ", " KORALI-VX", "", "KORALI"}) {
        EXPECT_EQ(logger.createType(name), nullptr) << '"' << name << '"';
    }
    EXPECT_EQ(logger.count(), 0);
    DataCollectionType* created = logger.createType("KORALI-VX");
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(created->typeName(), "KORALI-VX");
    EXPECT_EQ(created->statusText(), "OFF-LINE");
    EXPECT_EQ(logger.count(), 1);
    EXPECT_EQ(logger.typeAt(0), created);
}

TEST(DataLoggerTest, StreamsKeepTheirOrderAndOutOfRangeIsNone) {
    int alive = 0;  // declared first: it must outlive the logger, whose streams count down in it
    DataLogger logger;
    DataCollectionType* first = logger.addType(std::make_unique<CountedStream>(alive));
    DataCollectionType* second = logger.addType(std::make_unique<CountedStream>(alive));
    EXPECT_EQ(logger.addType(nullptr), nullptr);
    EXPECT_EQ(logger.count(), 2);
    EXPECT_EQ(logger.typeAt(0), first);
    EXPECT_EQ(logger.typeAt(1), second);
    EXPECT_EQ(logger.typeAt(2), nullptr);
    EXPECT_EQ(logger.typeAt(-1), nullptr);
}

TEST(DataLoggerTest, ResetMakesEveryStreamOnLine) {
    int alive = 0;
    DataLogger logger;
    logger.resetStatuses();
    for (const CollectionStatus status :
         {CollectionStatus::OffLine, CollectionStatus::Logging, CollectionStatus::FileWriteError,
          CollectionStatus::ComLinkOff}) {
        logger.addType(std::make_unique<CountedStream>(alive))->setStatus(status);
    }
    logger.resetStatuses();
    for (int index = 0; index < logger.count(); ++index) {
        EXPECT_EQ(logger.typeAt(index)->statusText(), "ON-LINE");
    }
}

TEST(DataLoggerTest, ClearAndDestructionReleaseEveryStream) {
    int alive = 0;
    {
        DataLogger logger;
        logger.clear();
        logger.addType(std::make_unique<CountedStream>(alive));
        logger.addType(std::make_unique<CountedStream>(alive));
        logger.clear();
        EXPECT_EQ(alive, 0);
        EXPECT_EQ(logger.count(), 0);
        logger.addType(std::make_unique<CountedStream>(alive));
        EXPECT_EQ(alive, 1);
    }
    EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace torven
