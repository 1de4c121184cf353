// The DI-194RS driver built for Windows, against the Linux simulator behind a COM port of the
// Wine prefix. tests/windows/run-driver-tests.sh starts the simulator, links the port to it and
// sets, as Wine paths where they name files:
//   TORVEN_TEST_PORT    the port, e.g. COM24
//   TORVEN_SIM_VOLTS    the simulator's constant channel voltages, "v1,v2,v3,v4"
//   TORVEN_SIM_CONTROL  its control FIFO: one command a line (silent, resume, unplug, plug)
//   TORVEN_SIM_LOG      its report: a line for every command received and every change

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "devices/DeviceRegistry.h"
#include "devices/Di194RsDevice.h"

namespace torven {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

std::string setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The simulator's report, each line without the program name before it.
Lines readReport() {
    const std::string programName = "di194rs-sim: ";
    std::ifstream in(setting("TORVEN_SIM_LOG"), std::ios::binary);
    Lines lines;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(programName, 0) == 0)
            line.erase(0, programName.size());
        lines.push_back(line);
    }
    return lines;
}

// The value the driver decodes for a voltage: the nearest of the device's 1024 counts.
double deviceValue(double volts) {
    const double count = std::clamp(std::round((volts + 10.0) / 0.01953125), 0.0, 1023.0);
    return count * 0.01953125 - 10.0;
}

std::array<double, 4> simulatedVolts() {
    std::array<double, 4> volts{};
    std::istringstream list(setting("TORVEN_SIM_VOLTS"));
    std::string item;
    for (double& value : volts) {
        std::getline(list, item, ',');
        value = std::stod(item);
    }
    return volts;
}

const Lines handshake{"command NZ", "command B<0x01>", "command C?", "command S1"};

// Every call of the driver here must end within its own time-outs: a handful of 200 ms reads.
constexpr auto callLimit = 5s;

class Di194RsDeviceWineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(port.empty()) << "run through run-driver-tests.sh";
        reportRead_ = readReport().size();
        device.setPort(port);
    }

    // Leaves the simulator plugged in and answering, and the device stopped, for the next test.
    // The simulator takes its commands in order, so once "resume" is reported, so is "plug".
    void TearDown() override {
        device.disconnect();
        tellSimulator("plug", "");
        tellSimulator("resume", "fault: none");
    }

    // Sends a control command and waits until the simulator reports a line that begins with
    // `done` (nothing to wait for when empty).
    void tellSimulator(const std::string& command, const std::string& done) {
        std::ofstream(setting("TORVEN_SIM_CONTROL"), std::ios::app) << command << '\n';
        if (done.empty())
            return;
        const bool reported = awaitReport([&](const Lines& lines) {
            return std::any_of(lines.begin(), lines.end(),
                               [&](const std::string& line) { return line.starts_with(done); });
        });
        EXPECT_TRUE(reported) << command << "\n" << reportText();
    }

    // The commands the simulator reported since the report was last taken as read, once
    // `count` of them are there (or the wait has ended).
    Lines reportedCommands(std::size_t count) {
        Lines commands;
        awaitReport([&](const Lines& lines) {
            commands.clear();
            std::copy_if(lines.begin(), lines.end(), std::back_inserter(commands),
                         [](const std::string& line) { return line.starts_with("command "); });
            return commands.size() >= count;
        });
        return commands;
    }

    // Polls the lines the simulator reported since they were last taken as read until
    // `done(lines)` holds, at most 20 s; then takes them as read.
    template <typename Done>
    bool awaitReport(Done done) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        Lines lines;
        bool held = false;
        while (!held && std::chrono::steady_clock::now() < deadline) {
            lines = readReport();
            lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(
                                                           std::min(reportRead_, lines.size())));
            held = done(lines);
            if (!held)
                std::this_thread::sleep_for(20ms);
        }
        reportRead_ += lines.size();
        return held;
    }

    std::string reportText() {
        std::string text;
        for (const std::string& line : readReport())
            text += line + "\n";
        return text;
    }

    template <typename Call>
    static auto timed(Call call, std::chrono::steady_clock::duration& took) {
        const auto start = std::chrono::steady_clock::now();
        auto result = call();
        took = std::chrono::steady_clock::now() - start;
        return result;
    }

    void expectNoReading() {
        for (int channel = 1; channel <= 4; ++channel) {
            EXPECT_EQ(device.channelValue(channel), noReading) << channel;
            EXPECT_FALSE(device.channel(channel)->valid()) << channel;
        }
    }

    const std::string port = setting("TORVEN_TEST_PORT");
    std::size_t reportRead_ = 0;  // lines of the report taken as read
    Di194RsDevice device;
};

TEST_F(Di194RsDeviceWineTest, ConnectsWithTheHandshakeAndStopsOnDisconnect) {
    ASSERT_TRUE(device.connect()) << reportText();
    EXPECT_TRUE(device.isConnected());
    EXPECT_EQ(device.connectedPortName(), port);
    EXPECT_EQ(reportedCommands(handshake.size()), handshake);

    EXPECT_TRUE(device.disconnect());
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(reportedCommands(1), Lines{"command S0"});
}

TEST_F(Di194RsDeviceWineTest, ReadsTheSimulatedValues) {
    const std::array<double, 4> volts = simulatedVolts();
    ASSERT_TRUE(device.connect()) << reportText();
    for (int sample = 0; sample < 5; ++sample) {
        device.startSample();
        ASSERT_TRUE(device.readSample()) << sample;
        for (int channel = 1; channel <= 4; ++channel) {
            EXPECT_EQ(device.channelValue(channel), deviceValue(volts[channel - 1])) << channel;
            EXPECT_TRUE(device.channel(channel)->valid());
        }
    }
}

// A device that goes silent, and one whose adapter is pulled (the pseudo-terminal closed, as
// when the simulator stops), each fail the read within the driver's time-outs: the device is
// disconnected without readings, and it connects again once it is back.
struct LossCase {
    const char* name;
    const char* lose;
    const char* lost;
    const char* restore;
    const char* restored;
};

class DeviceLossTest : public Di194RsDeviceWineTest,
                       public ::testing::WithParamInterface<LossCase> {};

TEST_P(DeviceLossTest, FailsTheReadWithoutHangingAndReconnectsOnceBack) {
    const LossCase& loss = GetParam();
    ASSERT_TRUE(device.connect()) << reportText();
    ASSERT_TRUE(device.readSample());

    tellSimulator(loss.lose, loss.lost);
    std::chrono::steady_clock::duration took{};
    // Frames already on their way may still make one sample.
    bool read = timed([&] { return device.readSample(); }, took);
    EXPECT_LT(took, callLimit);
    if (read) {
        read = timed([&] { return device.readSample(); }, took);
        EXPECT_LT(took, callLimit);
    }
    EXPECT_FALSE(read);
    EXPECT_FALSE(device.isConnected());
    expectNoReading();

    EXPECT_FALSE(timed([&] { return device.connect(); }, took));
    EXPECT_LT(took, callLimit);

    tellSimulator(loss.restore, loss.restored);
    ASSERT_TRUE(device.connect()) << reportText();
    EXPECT_TRUE(device.readSample());
}

INSTANTIATE_TEST_SUITE_P(
    Wine, DeviceLossTest,
    ::testing::Values(LossCase{"Silent", "silent", "fault: silent", "resume", "fault: none"},
                      LossCase{"Unplugged", "unplug", "unplugged: ", "plug", "plugged in: "}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST_F(Di194RsDeviceWineTest, APortHeldByAnotherDeviceCannotBeOpened) {
    ASSERT_TRUE(device.connect()) << reportText();
    Di194RsDevice second;
    second.setPort(port);
    EXPECT_FALSE(second.connect());
    EXPECT_EQ(reportedCommands(handshake.size()), handshake) << "the second one reached the device";
    EXPECT_TRUE(device.readSample());
}

// The registry works each DI-194RS on a thread of its own.
TEST_F(Di194RsDeviceWineTest, TheRegistryConnectsReadsAndStopsOnDeviceThreads) {
    DeviceRegistry registry;
    ASSERT_NE(registry.addDevice("DI-194RS", port), nullptr);
    ASSERT_TRUE(registry.connectAll()) << reportText();
    registry.readAll();
    EXPECT_EQ(registry.deviceAt(0)->channelValue(1), deviceValue(simulatedVolts()[0]));
    EXPECT_EQ(reportedCommands(handshake.size()), handshake);
    registry.clear();
    EXPECT_EQ(reportedCommands(1), Lines{"command S0"});
}

}  // namespace
}  // namespace torven
