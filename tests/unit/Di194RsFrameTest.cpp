#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "devices/Di194RsDevice.h"

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

}  // namespace
}  // namespace torven
