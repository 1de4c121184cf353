// Arbitrary bytes as one read from a DI-194RS: the frame start must be found exactly where
// the first of bytes 0-8 has bit 0 clear, only in reads of at least 17 bytes, and every byte
// pair must decode to one of the 1024 values from -10 to +9.98046875.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "devices/Di194RsDevice.h"
#include "fuzz/FuzzTarget.h"

namespace torven {
namespace {

using fuzz::check;

constexpr std::size_t leastBytes = 17;
constexpr std::size_t lastStart = 8;
constexpr std::size_t frameLength = 8;
constexpr double step = 20.0 / 1024.0;

std::optional<std::size_t> expectedFrameStart(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < leastBytes)
        return std::nullopt;
    for (std::size_t position = 0; position <= lastStart; ++position) {
        if ((bytes[position] & 0x01u) == 0)
            return position;
    }
    return std::nullopt;
}

void checkPair(std::uint8_t first, std::uint8_t second) {
    const double value = Di194RsDevice::decodeChannel(first, second);
    check(value >= -10.0 && value <= 9.98046875, "a value lies within -10 to +9.98046875");
    const double count = (value + 10.0) / step;
    check(count == std::floor(count), "a value is a whole number of counts above -10");
    const unsigned expectedCount = (first >> 5u) | ((second >> 1u) << 3u);
    check(count == expectedCount, "the count is bits 7-5 of the first byte and 7-1 of the second");
    check(value == expectedCount * step - 10.0, "the value is exact");
}

}  // namespace
}  // namespace torven

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace torven;
    const std::span<const std::uint8_t> bytes(data, size);
    const std::optional<std::size_t> start = Di194RsDevice::findFrameStart(bytes);
    check(start == expectedFrameStart(bytes),
          "the frame starts at the first of bytes 0-8 with bit 0 clear, in reads of 17 or more");
    if (start) {
        check(*start <= lastStart && *start + frameLength <= size, "the frame lies in the read");
        for (std::size_t pair = *start; pair < *start + frameLength; pair += 2)
            checkPair(bytes[pair], bytes[pair + 1]);
    }
    for (std::size_t pair = 0; pair + 1 < size; pair += 2)
        checkPair(bytes[pair], bytes[pair + 1]);
    return 0;
}
