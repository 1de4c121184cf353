#include <gtest/gtest.h>

#include "devices/Di194RsDevice.h"
#include "di194rs-sim/Di194RsSimulator.h"

// The simulator runs on pseudo-terminals and is built for Linux only.
namespace torven {
namespace {

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
