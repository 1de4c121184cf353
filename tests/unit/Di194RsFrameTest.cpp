#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "devices/Di194RsDevice.h"
#include "di194rs-sim/Di194RsSimulator.h"

namespace torven {
namespace {

struct PairCase {
    std::uint8_t first;
    std::uint8_t second;
    double value;
};

TEST(Di194RsFrameTest, DecodesChannelPairs) {
    const PairCase cases[] = {
        {0xE0, 0xFE, 9.98046875},  // count 1023
        {0x00, 0x00, -10.0},       // count 0
        {0x00, 0x80, 0.0},         // count 512
        {0x1F, 0x01, -10.0},       // the unused low bits do not count
        {0x20, 0x00, -10.0 + 0.01953125},
        {0x00, 0x02, -10.0 + 8 * 0.01953125},
    };
    for (const PairCase& pair : cases) {
        EXPECT_EQ(Di194RsDevice::decodeChannel(pair.first, pair.second), pair.value)
            << std::hex << int{pair.first} << " " << int{pair.second};
    }
}

// 20 bytes, every one with bit 0 set except at the positions given.
std::vector<std::uint8_t> readWithStartsAt(std::initializer_list<std::size_t> starts,
                                           std::size_t size = 20) {
    std::vector<std::uint8_t> bytes(size, 0xFF);
    for (const std::size_t start : starts)
        bytes[start] = 0xFE;
    return bytes;
}

TEST(Di194RsFrameTest, FindsTheFirstFrameStartAmongTheFirstNineBytes) {
    EXPECT_EQ(Di194RsDevice::findFrameStart(readWithStartsAt({0, 8, 16})), 0u);
    EXPECT_EQ(Di194RsDevice::findFrameStart(readWithStartsAt({3, 11})), 3u);
    EXPECT_EQ(Di194RsDevice::findFrameStart(readWithStartsAt({8}, 17)), 8u);
}

TEST(Di194RsFrameTest, RejectsShortReadsAndReadsWithoutFrameStart) {
    EXPECT_FALSE(Di194RsDevice::findFrameStart(readWithStartsAt({0, 8}, 16)));
    EXPECT_FALSE(Di194RsDevice::findFrameStart(readWithStartsAt({9, 17})));
    EXPECT_FALSE(Di194RsDevice::findFrameStart(readWithStartsAt({})));
    EXPECT_FALSE(Di194RsDevice::findFrameStart({}));
}

// The simulator's frames and the driver's decoding must agree on every count, and only the
// first byte of a frame may look like a frame start.
TEST(Di194RsFrameTest, SimulatedFramesDecodeToTheirCounts) {
    for (unsigned count = 0; count < 1024; ++count) {
        const double volts = count * 0.01953125 - 10.0;
        const auto frame = sim::Di194RsSimulator::encodeFrame({volts, -10.0, 0.0, 9.98046875});
        ASSERT_EQ(Di194RsDevice::decodeChannel(frame[0], frame[1]), volts) << count;
        ASSERT_EQ(Di194RsDevice::decodeChannel(frame[2], frame[3]), -10.0);
        ASSERT_EQ(Di194RsDevice::decodeChannel(frame[4], frame[5]), 0.0);
        ASSERT_EQ(Di194RsDevice::decodeChannel(frame[6], frame[7]), 9.98046875);
        ASSERT_EQ(frame[0] & 1, 0);
        for (std::size_t i = 1; i < frame.size(); ++i)
            ASSERT_EQ(frame[i] & 1, 1) << i;
    }
}

TEST(Di194RsFrameTest, SimulatorClampsToTheDeviceRange) {
    EXPECT_EQ(sim::Di194RsSimulator::countFor(-25.0), 0u);
    EXPECT_EQ(sim::Di194RsSimulator::countFor(42.0), 1023u);
    EXPECT_EQ(sim::Di194RsSimulator::countFor(1.5), 589u);
}

}  // namespace
}  // namespace torven
