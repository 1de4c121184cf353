#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "collection/DataCollectionType.h"
#include "support/FakeDevice.h"
#include "support/UtcInstant.h"
#include "time/TimeStamp.h"

namespace torven {
namespace {

class NamedStream : public DataCollectionType {
  public:
    explicit NamedStream(std::string id) { setStreamId(std::move(id)); }
    void changeId(std::string id) { setStreamId(std::move(id)); }

    std::string sampleText() const override { return ""; }
    bool isOnline() const override { return true; }
    std::string buildId() override { return id(); }
    std::string headerText(const SiteConfiguration&) const override { return ""; }
    std::string typeName() const override { return "NAMED"; }
    void readSampleRate() override {}
    void registerKeywords() override {}
};

TimeStamp at(int year, int month, int day, int hour, int minute, int second) {
    TimeStamp stamp;
    stamp.setTo(test::utcInstant(year, month, day, hour, minute, second));
    return stamp;
}

TEST(DataCollectionTypeTest, TheFirstRowNamesTheFileByDateStartTimeAndId) {
    NamedStream stream("HT1_123456");
    EXPECT_EQ(stream.startTag(), "");
    EXPECT_EQ(stream.dataFileName(at(2011, 5, 3, 18, 18, 45)), "20110503_181845_HT1_123456.csv");
    EXPECT_EQ(stream.startTag(), "181845");
}

TEST(DataCollectionTypeTest, RowsOfTheSameDayStayInOneFile) {
    NamedStream stream("HT1_123456");
    stream.dataFileName(at(2011, 5, 3, 18, 18, 45));
    EXPECT_EQ(stream.dataFileName(at(2011, 5, 3, 23, 59, 59)), "20110503_181845_HT1_123456.csv");
    EXPECT_EQ(stream.startTag(), "181845");
}

TEST(DataCollectionTypeTest, ANewDateStartsANewFileAtThatRow) {
    NamedStream stream("HT1_123456");
    stream.dataFileName(at(2011, 5, 3, 18, 18, 45));
    EXPECT_EQ(stream.dataFileName(at(2011, 5, 4, 0, 0, 5)), "20110504_000005_HT1_123456.csv");
    EXPECT_EQ(stream.dataFileName(at(2011, 5, 4, 0, 0, 10)), "20110504_000005_HT1_123456.csv");
}

TEST(DataCollectionTypeTest, AChangedIdStartsANewFile) {
    NamedStream stream("HT1_123456");
    stream.dataFileName(at(2011, 5, 3, 18, 18, 45));
    stream.changeId("HT2_654321");
    EXPECT_EQ(stream.dataFileName(at(2011, 5, 3, 18, 20, 0)), "20110503_182000_HT2_654321.csv");
}

TEST(DataCollectionTypeTest, AStartedNewFileTakesTheTimeOfThatInstant) {
    NamedStream stream("HT1_123456");
    stream.dataFileName(at(2011, 5, 3, 18, 18, 45));
    const TimeStamp retry = at(2011, 5, 3, 18, 18, 50);
    stream.startNewFile(retry);
    EXPECT_EQ(stream.startTag(), "181850");
    EXPECT_EQ(stream.dataFileName(retry), "20110503_181850_HT1_123456.csv");
    // Started again in the same second: the same name.
    stream.startNewFile(retry);
    EXPECT_EQ(stream.dataFileName(retry), "20110503_181850_HT1_123456.csv");
}

TEST(DataCollectionTypeTest, TheNameIsUsedExactlyAsBuilt) {
    NamedStream stream("A B,C");
    EXPECT_EQ(stream.dataFileName(at(2011, 12, 31, 9, 5, 7)), "20111231_090507_A B,C.csv");
}

TEST(DataCollectionTypeTest, BindingLinksStreamAndChannelBothWays) {
    test::FakeDevice device;
    NamedStream stream("HT1_123456");
    for (std::int32_t number = 1; number <= device.channelCount(); ++number) {
        ASSERT_TRUE(stream.bindChannel(device, number));
        EXPECT_EQ(stream.boundChannel(), device.channel(number));
        EXPECT_EQ(device.channel(number)->collectionType(), &stream);
    }
}

TEST(DataCollectionTypeTest, ABindToAMissingChannelLeavesNoChannel) {
    test::FakeDevice device;
    NamedStream stream("HT1_123456");
    for (const std::int32_t number : {0, -1, 5}) {
        ASSERT_TRUE(stream.bindChannel(device, 2));
        EXPECT_FALSE(stream.bindChannel(device, number));
        EXPECT_EQ(stream.boundChannel(), nullptr);
    }
}

}  // namespace
}  // namespace torven
