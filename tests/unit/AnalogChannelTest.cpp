#include <gtest/gtest.h>

#include "devices/AnalogChannel.h"
#include "support/FakeStream.h"

namespace torven {
namespace {

TEST(AnalogChannelTest, FormatsValuesWithSignAndThreeDecimals) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {1.5, "+1.500"},        {0.0, "+0.000"},     {-10.0, "-10.000"},
        {9.98046875, "+9.980"}, {-0.0004, "-0.000"}, {noReading, "-9999.999"},
    };
    for (const auto& entry : cases) {
        AnalogChannel channel;
        channel.setReading(entry.value);
        EXPECT_EQ(channel.valueText(), entry.text) << entry.value;
    }
}

TEST(AnalogChannelTest, NewChannelHasNoReading) {
    const AnalogChannel channel;
    EXPECT_FALSE(channel.valid());
    EXPECT_EQ(channel.value(), noReading);
    EXPECT_EQ(channel.valueText(), "-9999.999");
    EXPECT_EQ(channel.collectionType(), nullptr);
}

TEST(AnalogChannelTest, ReadingMakesItValidAndResetTakesItBackKeepingTheStream) {
    test::FakeStream stream("S1", 1);
    AnalogChannel channel;
    channel.setCollectionType(&stream);
    channel.setReading(2.5);
    EXPECT_TRUE(channel.valid());
    EXPECT_EQ(channel.value(), 2.5);

    channel.reset();
    EXPECT_FALSE(channel.valid());
    EXPECT_EQ(channel.value(), noReading);
    EXPECT_EQ(channel.valueText(), "-9999.999");
    EXPECT_EQ(channel.collectionType(), &stream);
}

}  // namespace
}  // namespace torven
