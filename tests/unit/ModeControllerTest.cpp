#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <ctime>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "config/SiteConfiguration.h"
#include "platform/SystemClock.h"
#include "shell/ModeController.h"
#include "support/FakeDevice.h"
#include "support/FakeStream.h"
#include "support/ScratchStation.h"
#include "support/UtcInstant.h"

namespace torven {
namespace {

using test::FakeDevice;
using test::FakeStream;
using Mode = DataLoggingMode;

using test::utcInstant;

// 2011-05-04 10:20:07 UTC: not a hand-over second, not the top of an hour.
const std::int64_t ordinarySecond = utcInstant(2011, 5, 4, 10, 20, 7);

using Messages = std::vector<std::string>;

std::string joined(const Messages& messages) {
    std::string text;
    for (const std::string& message : messages)
        text += message + "\n";
    return text;
}

class ModeControllerTest : public ::testing::Test {
  protected:
    ModeControllerTest() {
        controller.setMillisecondSource([this] { return nowMilliseconds; });
    }

    FakeDevice& addDevice(const std::string& port) {
        auto device = std::make_unique<FakeDevice>(port);
        FakeDevice& added = *device;
        controller.devices.addDevice(std::move(device));
        return added;
    }

    FakeStream& addStream(FakeDevice& device, std::int32_t channel, const std::string& id,
                          std::int32_t interval) {
        auto stream = std::make_unique<FakeStream>(id, interval);
        FakeStream& added = *stream;
        controller.dataLogger.addType(std::move(stream));
        EXPECT_TRUE(added.bindChannel(device, channel));
        return added;
    }

    // A step at that second and millisecond of it.
    void stepAt(std::int64_t instant, Mode requested, std::int64_t millisecond = 0) {
        nowMilliseconds = instant * 1000 + millisecond;
        controller.step(site, requested);
    }

    // The event log messages written since the last call.
    std::vector<std::string> newMessages() {
        std::vector<std::string> all = station.eventLogMessages();
        std::vector<std::string> fresh(all.begin() + static_cast<long>(seenMessages), all.end());
        seenMessages = all.size();
        return fresh;
    }

    std::ptrdiff_t countMessages(const std::string& message) const {
        const auto all = station.eventLogMessages();
        return std::count(all.begin(), all.end(), message);
    }

    test::ScratchStation station;
    SiteConfiguration site;
    ModeController& controller = site.modeController;
    std::int64_t nowMilliseconds = ordinarySecond * 1000;
    std::size_t seenMessages = 0;
};

struct Transition {
    Mode from;
    Mode requested;
    Messages messages;
    int disconnects;  // of the device during the step
    bool connectedAfter;
};

void PrintTo(const Transition& transition, std::ostream* out) {
    *out << modeDisplayName(transition.from) << " -> " << modeDisplayName(transition.requested);
}

class ModeTransitionTest : public ModeControllerTest,
                           public ::testing::WithParamInterface<Transition> {};

TEST_P(ModeTransitionTest, LogsTheTransitionAndLeavesTheDevicesAsTheNewModeNeedsThem) {
    const Transition& transition = GetParam();
    FakeDevice& device = addDevice("COM3");
    if (transition.from != Mode::Initialize)
        stepAt(ordinarySecond, transition.from);
    newMessages();
    const int disconnectsBefore = device.disconnectCalls();

    stepAt(ordinarySecond + 1, transition.requested);

    EXPECT_EQ(newMessages(), transition.messages);
    EXPECT_EQ(controller.mode(), transition.requested);
    EXPECT_EQ(device.disconnectCalls() - disconnectsBefore, transition.disconnects);
    EXPECT_EQ(device.isConnected(), transition.connectedAfter);
}

const char* const enterDatalog = "Entering Data Collection Mode";
const char* const enterCalibrate = "Entering Calibration Mode";
const char* const exitDatalog = "Exiting Data Collection Mode";
const char* const exitCalibrate = "Exiting Calibration Mode";
const char* const shuttingDown = "System shutting down";

INSTANTIATE_TEST_SUITE_P(
    EveryCell, ModeTransitionTest,
    ::testing::Values(
        Transition{Mode::Initialize, Mode::DATALOG, {enterDatalog}, 0, true},
        Transition{Mode::Initialize, Mode::CALIBRATE, {enterCalibrate}, 0, true},
        Transition{Mode::Initialize, Mode::STOPPED, {shuttingDown}, 0, false},
        Transition{Mode::DATALOG, Mode::DATALOG, {}, 0, true},
        Transition{Mode::DATALOG, Mode::CALIBRATE, {exitDatalog, enterCalibrate}, 1, true},
        Transition{Mode::DATALOG, Mode::STOPPED, {exitDatalog, shuttingDown}, 1, false},
        Transition{Mode::CALIBRATE, Mode::DATALOG, {exitCalibrate, enterDatalog}, 1, true},
        Transition{Mode::CALIBRATE, Mode::CALIBRATE, {}, 0, true},
        Transition{Mode::CALIBRATE, Mode::STOPPED, {exitCalibrate, shuttingDown}, 1, false},
        Transition{Mode::STOPPED, Mode::DATALOG, {enterDatalog}, 0, true},
        Transition{Mode::STOPPED, Mode::CALIBRATE, {enterCalibrate}, 0, true},
        Transition{Mode::STOPPED, Mode::STOPPED, {}, 0, false}));

TEST_F(ModeControllerTest, ModeNamesFollowTheMode) {
    EXPECT_EQ(controller.modeName(), "Initialize");
    stepAt(ordinarySecond, Mode::DATALOG);
    EXPECT_EQ(controller.modeName(), "DATALOG");
    stepAt(ordinarySecond, Mode::CALIBRATE);
    EXPECT_EQ(controller.modeName(), "* * *  C A L I B R A T E  * * *");
    stepAt(ordinarySecond, Mode::STOPPED);
    EXPECT_EQ(controller.modeName(), "STOPPED");
}

TEST_F(ModeControllerTest, AnInvalidRequestIsLoggedAndLeavesTheCurrentModeRunning) {
    FakeDevice& device = addDevice("COM3");
    stepAt(ordinarySecond, Mode::DATALOG);
    newMessages();
    const int readsBefore = device.readCalls();

    for (const Mode invalid : {Mode::Initialize, static_cast<Mode>(7)}) {
        stepAt(ordinarySecond + 1, invalid);
        EXPECT_EQ(newMessages(), Messages{"Internal error: Invalid DataLogging Mode "});
    }
    EXPECT_EQ(controller.mode(), Mode::DATALOG);
    EXPECT_TRUE(device.isConnected());
    EXPECT_EQ(device.disconnectCalls(), 0);
    EXPECT_EQ(device.readCalls(), readsBefore) << "no pass after an invalid request";
}

TEST_F(ModeControllerTest, EnteringAModeConnectsEveryDeviceAndPutsEveryStreamOnLine) {
    FakeDevice& silent = addDevice("COM3");
    FakeDevice& answering = addDevice("COM4");
    silent.setAnswering(false);
    FakeStream& stream = addStream(answering, 2, "S1_A", 0);
    ASSERT_EQ(stream.status(), CollectionStatus::OffLine);

    stepAt(ordinarySecond, Mode::CALIBRATE);

    EXPECT_EQ(answering.connectCalls(), 1) << "connected on entry, left alone by the pass";
    EXPECT_EQ(silent.connectCalls(), 2) << "tried on entry and again by the pass";
    EXPECT_EQ(stream.status(), CollectionStatus::OnLine);
    EXPECT_EQ(answering.readCalls(), 1);
}

TEST_F(ModeControllerTest, ThePassSetsTheClockToTheTimeOfThePass) {
    stepAt(ordinarySecond, Mode::CALIBRATE, 999);
    EXPECT_EQ(controller.clock.dateTimeText(), "2011-05-04 10:20:07");
    EXPECT_EQ(controller.lastPassMilliseconds(), ordinarySecond * 1000 + 999);
    stepAt(ordinarySecond + 60, Mode::CALIBRATE);
    EXPECT_EQ(controller.clock.dateTimeText(), "2011-05-04 10:21:07");

    // A time source of seconds names the second; the milliseconds still time the pass.
    controller.setTimeSource([] { return utcInstant(2011, 5, 4, 23, 59, 59); });
    stepAt(ordinarySecond, Mode::CALIBRATE, 500);
    EXPECT_EQ(controller.clock.dateTimeText(), "2011-05-04 23:59:59");
    EXPECT_EQ(controller.lastPassMilliseconds(), ordinarySecond * 1000 + 500);
}

TEST_F(ModeControllerTest, WithoutATimeSourceThePassReadsTheSystemClock) {
    controller.setMillisecondSource(nullptr);
    const std::int64_t before = platform::currentEpochSeconds();
    controller.step(site, Mode::CALIBRATE);
    const std::int64_t after = platform::currentEpochSeconds();
    EXPECT_GE(controller.clock.seconds(), before);
    EXPECT_LE(controller.clock.seconds(), after);
}

TEST_F(ModeControllerTest, TheWriterRunsOncePerSecondHoweverManyPassesComeInIt) {
    FakeDevice& device = addDevice("COM3");
    FakeStream& stream = addStream(device, 1, "S1_A", 1);

    stepAt(ordinarySecond, Mode::DATALOG);
    stepAt(ordinarySecond, Mode::DATALOG);
    stepAt(ordinarySecond, Mode::DATALOG);
    EXPECT_EQ(stream.samplesTaken(), 1);
    EXPECT_EQ(stream.status(), CollectionStatus::Logging);

    stepAt(ordinarySecond + 1, Mode::DATALOG);
    stepAt(ordinarySecond + 1, Mode::DATALOG);
    EXPECT_EQ(stream.samplesTaken(), 2);
}

TEST_F(ModeControllerTest, CalibrationReadsTheDevicesButWritesNothing) {
    FakeDevice& device = addDevice("COM3");
    FakeStream& stream = addStream(device, 1, "S1_A", 1);

    for (int second = 0; second < 3; ++second)
        stepAt(ordinarySecond + second, Mode::CALIBRATE);

    EXPECT_EQ(device.readCalls(), 3);
    EXPECT_EQ(stream.samplesTaken(), 0);
    EXPECT_EQ(stream.status(), CollectionStatus::OnLine);
    EXPECT_TRUE(station.fileNames("tmp").empty());
}

TEST_F(ModeControllerTest, AFirstPassOnTheTopOfTheHourWritesItsRowAndHandsOver) {
    FakeDevice& device = addDevice("COM3");
    FakeStream& stream = addStream(device, 1, "S1_A", 1);
    station.writeFile("tmp/20110503_181845_S1_A.csv", "# yesterday\n");

    stepAt(utcInstant(2011, 5, 4, 10, 0, 0), Mode::DATALOG);
    EXPECT_EQ(stream.samplesTaken(), 1);
    EXPECT_TRUE(station.exists("Data/20110503_181845_S1_A.csv"));
    EXPECT_EQ(station.fileNames("tmp"), std::vector<std::string>{"20110504_100000_S1_A.csv"});

    stepAt(utcInstant(2011, 5, 4, 11, 0, 0), Mode::DATALOG);
    EXPECT_EQ(stream.samplesTaken(), 2) << "the same second into the next hour is a new second";
}

// The system clock set while the monitor runs (a time service correcting it, an operator):
// the passes go on at the monotonic pace, the rows follow the clock.
class ClockStepTest : public ModeControllerTest {
  protected:
    ClockStepTest() {
        controller.setMonotonicSource([this] { return monotonic; });
        stream = &addStream(addDevice("COM3"), 1, "S1_A", 1);
    }

    // Passes every quarter second for that many seconds, the clock running with them.
    void runFor(int seconds) {
        for (int quarter = 0; quarter < 4 * seconds; ++quarter) {
            controller.step(site, Mode::DATALOG);
            rowTimes.push_back(controller.clock.seconds());
            nowMilliseconds += 250;
            monotonic += 250;
        }
    }

    std::vector<std::string> rows() const {
        const std::vector<std::string> files = station.fileNames("tmp");
        std::vector<std::string> lines;
        for (const std::string& file : files) {
            std::istringstream content(station.readFile("tmp/" + file));
            for (std::string line; std::getline(content, line);) {
                if (!line.empty() && line[0] != '#')
                    lines.push_back(file.substr(0, 8) + " " + line.substr(0, 19));
            }
        }
        return lines;
    }

    std::int64_t monotonic = 5000;
    FakeStream* stream = nullptr;
    std::vector<std::int64_t> rowTimes;
};

TEST_F(ClockStepTest, SetBackTheRowsResumeOncePastTheLastOneAndTheStepIsLoggedOnce) {
    runFor(3);
    nowMilliseconds -= 2000;
    runFor(4);
    EXPECT_EQ(stream->samplesTaken(), 5) << "10:20:07 to :09, then :10 and :11 only";
    EXPECT_EQ(newMessages(),
              (Messages{"Entering Data Collection Mode", "System clock stepped back by 2.0 s"}));
}

TEST_F(ClockStepTest, SetForwardTheSkippedSecondsOweNothing) {
    runFor(2);
    nowMilliseconds += 3600 * 1000;
    runFor(2);
    EXPECT_EQ(stream->samplesTaken(), 4);
    EXPECT_EQ(countMessages("System clock stepped forward by 3600.0 s"), 1);
}

TEST_F(ClockStepTest, SetBackAcrossMidnightTheNewDaysFileStaysAndGetsEveryRowOnce) {
    nowMilliseconds = utcInstant(2011, 5, 4, 23, 59, 58) * 1000;
    runFor(17);                    // into 00:00:15 of the new day, a hand-over second
    nowMilliseconds -= 30 * 1000;  // to 23:59:45, a hand-over second of the day before
    runFor(35);
    const std::vector<std::string> files = station.fileNames("tmp");
    ASSERT_EQ(files, std::vector<std::string>{"20110505_000000_S1_A.csv"})
        << "the new day's file is never taken for a finished one";
    const std::vector<std::string> lines = rows();
    ASSERT_EQ(lines.size(), 20u);
    EXPECT_EQ(lines.front(), "20110505 2011-05-05 00:00:00");
    EXPECT_EQ(lines.back(), "20110505 2011-05-05 00:00:19");
    EXPECT_TRUE(station.exists("Data/20110504_235958_S1_A.csv"));
}

TEST_F(ClockStepTest, ReconnectionSpacingIgnoresTheClock) {
    FakeDevice& device = *dynamic_cast<FakeDevice*>(controller.devices.deviceAt(0));
    runFor(1);
    device.setAnswering(false);
    controller.step(site, Mode::DATALOG);  // the read fails; one attempt at once
    const int attempts = device.connectCalls();
    nowMilliseconds += 3600 * 1000 + 250;
    monotonic += 250;
    controller.step(site, Mode::DATALOG);
    EXPECT_EQ(device.connectCalls(), attempts) << "a clock set forward brings no attempt early";
}

// A device that delivers a sample after every return and then drops out again.
TEST_F(ModeControllerTest, ADeviceDroppingOutAfterEveryReturnKeepsTheEventLogBounded) {
    FakeDevice& device = addDevice("COM3");
    addStream(device, 1, "S1_A", 0);
    device.setSamplesPerConnection(1);
    for (int quarter = 0; quarter < 4 * 5400; ++quarter)
        stepAt(ordinarySecond, Mode::DATALOG, 250 * quarter);
    const Messages messages = station.eventLogMessages();
    EXPECT_GT(device.connectCalls(), 1000);
    EXPECT_LE(messages.size(), 30u) << joined(messages);
    EXPECT_EQ(countMessages("FAKE-194 on port COM3 keeps dropping out: returned online 7 times "
                            "within an hour"),
              2)
        << joined(messages);
}

class HandOverSecondTest : public ModeControllerTest {
  protected:
    HandOverSecondTest() {
        station.writeFile("tmp/" + yesterdays, "# yesterday\n");
        station.writeFile("tmp/" + todays, "# today\n");
    }

    const std::string yesterdays = "20110503_181845_HT1_123456.csv";
    const std::string todays = "20110504_000000_HT1_123456.csv";
};

TEST_F(HandOverSecondTest, APassOnAQuarterMinuteHandsOverFinishedFilesAndKeepsTodays) {
    stepAt(utcInstant(2011, 5, 4, 10, 20, 15), Mode::DATALOG);

    EXPECT_EQ(station.fileNames("tmp"), std::vector<std::string>{todays});
    EXPECT_EQ(station.readFile("Data/" + yesterdays), "# yesterday\n");
    EXPECT_EQ(station.readFile("ToSend/" + yesterdays), "# yesterday\n");
}

TEST_F(HandOverSecondTest, APassOnAnyOtherSecondHandsNothingOver) {
    stepAt(utcInstant(2011, 5, 4, 10, 20, 14), Mode::DATALOG);
    stepAt(utcInstant(2011, 5, 4, 10, 20, 16), Mode::DATALOG);

    EXPECT_EQ(station.fileNames("tmp"), (std::vector<std::string>{yesterdays, todays}));
    EXPECT_TRUE(station.fileNames("ToSend").empty());
}

TEST_F(HandOverSecondTest, StoppingHandsOverEveryFileIncludingTodays) {
    stepAt(utcInstant(2011, 5, 4, 10, 20, 16), Mode::DATALOG);
    stepAt(utcInstant(2011, 5, 4, 10, 20, 16), Mode::STOPPED);

    EXPECT_TRUE(station.fileNames("tmp").empty());
    EXPECT_EQ(station.fileNames("Data"), (std::vector<std::string>{yesterdays, todays}));
    EXPECT_EQ(station.fileNames("ToSend"), (std::vector<std::string>{yesterdays, todays}));
}

TEST_F(HandOverSecondTest, CalibrationHandsNothingOver) {
    stepAt(utcInstant(2011, 5, 4, 10, 20, 15), Mode::CALIBRATE);
    stepAt(utcInstant(2011, 5, 4, 10, 20, 30), Mode::CALIBRATE);

    EXPECT_EQ(station.fileNames("tmp"), (std::vector<std::string>{yesterdays, todays}));
}

TEST_F(ModeControllerTest, ADeviceThatDropsOutShowsComLinkOffAndIsLoggedOnceWhenItReturns) {
    FakeDevice& device = addDevice("COM3");
    FakeStream& first = addStream(device, 1, "S1_A", 0);
    FakeStream& second = addStream(device, 4, "S1_B", 0);
    stepAt(ordinarySecond, Mode::CALIBRATE);
    ASSERT_EQ(first.status(), CollectionStatus::OnLine);

    device.setAnswering(false);
    stepAt(ordinarySecond + 1, Mode::CALIBRATE);
    EXPECT_EQ(first.status(), CollectionStatus::ComLinkOff);
    EXPECT_EQ(second.status(), CollectionStatus::ComLinkOff);
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(device.connectCalls(), 2) << "tried on entry, and again at once when lost";

    // Passes every second: the attempts come 1 s and then 2 s apart.
    for (int pass = 0; pass < 3; ++pass)
        stepAt(ordinarySecond + 2 + pass, Mode::CALIBRATE);
    EXPECT_EQ(device.connectCalls(), 4);
    EXPECT_EQ(first.status(), CollectionStatus::ComLinkOff);

    device.setAnswering(true);
    int passes = 0;
    while (first.status() != CollectionStatus::OnLine && passes < 20)
        stepAt(ordinarySecond + 5 + passes++, Mode::CALIBRATE);
    EXPECT_LE(passes, 5) << "back within 4 s of waiting and one more pass to read it";
    EXPECT_EQ(second.status(), CollectionStatus::OnLine);
    EXPECT_EQ(countMessages("FAKE-194 on port COM3 has returned online"), 1);
}

TEST_F(ModeControllerTest, APassReadsAndWritesBeforeItReconnectsAndReadsAReturnNextPass) {
    FakeDevice& healthy = addDevice("COM1");
    FakeDevice& lost = addDevice("COM3");
    FakeStream& row = addStream(healthy, 1, "S1_A", 1);
    FakeStream& returning = addStream(lost, 1, "S3_A", 0);
    lost.setAnswering(false);
    stepAt(ordinarySecond, Mode::DATALOG);
    ASSERT_EQ(returning.status(), CollectionStatus::ComLinkOff);

    lost.setAnswering(true);
    struct Seen {
        int healthyReads;
        int rows;
        int lostReads;
    };
    std::vector<Seen> seen;
    lost.setOnConnect([&] {
        seen.push_back({healthy.readCalls(), row.samplesTaken(), lost.readCalls()});
    });
    stepAt(ordinarySecond + 1, Mode::DATALOG);

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].healthyReads, 2) << "this pass read the devices before reconnecting";
    EXPECT_EQ(seen[0].rows, 2) << "and wrote the row of its second";
    EXPECT_EQ(seen[0].lostReads, 2);
    EXPECT_EQ(lost.readCalls(), 2) << "the returned device waits for the next pass";
    EXPECT_EQ(returning.status(), CollectionStatus::ComLinkOff);

    stepAt(ordinarySecond + 1, Mode::DATALOG, 250);
    EXPECT_EQ(lost.readCalls(), 3);
    EXPECT_EQ(returning.status(), CollectionStatus::OnLine);
}

TEST_F(ModeControllerTest, DevicesRebuiltWhileCalibratingLeaveTheirNewStreamsOffLine) {
    addDevice("COM3");
    stepAt(ordinarySecond, Mode::CALIBRATE);
    // A configuration load builds every device and stream anew, without entering the mode.
    controller.devices.clear();
    controller.dataLogger.clear();
    FakeDevice& rebuilt = addDevice("COM3");
    FakeStream& stream = addStream(rebuilt, 1, "S1_A", 1);

    for (int pass = 0; pass < 3; ++pass)
        stepAt(ordinarySecond + 1, Mode::CALIBRATE, 250 * pass);
    EXPECT_TRUE(rebuilt.isConnected());
    EXPECT_EQ(rebuilt.readCalls(), 2);
    EXPECT_EQ(stream.status(), CollectionStatus::OffLine);
    EXPECT_EQ(countMessages("FAKE-194 on port COM3 has returned online"), 0)
        << "a device built by a load connects for the first time; nothing came back";
}

TEST_F(ModeControllerTest, ReconnectingEndsWithinTheSecondAfterThePassReadTheClock) {
    std::int64_t cost = 0;
    int attempts = 0;
    for (const char* port : {"COM1", "COM2", "COM3"}) {
        FakeDevice& device = addDevice(port);
        device.setAnswering(false);
        device.setOnConnect([&] {
            ++attempts;
            nowMilliseconds += cost;
        });
    }
    stepAt(ordinarySecond, Mode::DATALOG);

    // With the pass in second L, an attempt starts only while one of the longest would end
    // by 150 ms before the end of second L+1.
    const std::int64_t attempt = DeviceRegistry::attemptMilliseconds;
    const std::int64_t latestStart = 1850 - attempt;
    const struct {
        std::int64_t millisecond;
        std::int64_t cost;
        int attempts;
    } cases[] = {
        {0, attempt, 1},         {latestStart, attempt, 1}, {latestStart + 1, attempt, 0},
        {0, latestStart / 2, 3}, {latestStart, 0, 3},       {latestStart + 1, 0, 0},
    };
    std::int64_t second = ordinarySecond;
    for (const auto& entry : cases) {
        // Long enough after the last attempts for every wait between attempts to be over.
        second += 10;
        cost = entry.cost;
        attempts = 0;
        stepAt(second, Mode::DATALOG, entry.millisecond);
        EXPECT_EQ(attempts, entry.attempts)
            << "pass at millisecond " << entry.millisecond << ", attempts of " << entry.cost;
        EXPECT_LE(nowMilliseconds, (second + 2) * 1000 - 150);
    }
}

TEST_F(ModeControllerTest, SwitchingFromDataCollectionToCalibrationLeavesEveryStreamOnLine) {
    FakeDevice& device = addDevice("COM3");
    FakeStream& logging = addStream(device, 1, "S1_A", 1);
    FakeStream& unread = addStream(device, 2, "S1_B", 0);
    stepAt(ordinarySecond, Mode::DATALOG);
    ASSERT_EQ(logging.status(), CollectionStatus::Logging);
    device.setAnswering(false);
    stepAt(ordinarySecond + 1, Mode::DATALOG);
    ASSERT_EQ(unread.status(), CollectionStatus::ComLinkOff);
    device.setAnswering(true);
    newMessages();

    stepAt(ordinarySecond + 2, Mode::CALIBRATE);

    EXPECT_EQ(newMessages(), (Messages{exitDatalog, enterCalibrate}));
    EXPECT_EQ(logging.status(), CollectionStatus::OnLine);
    EXPECT_EQ(unread.status(), CollectionStatus::OnLine);
    EXPECT_TRUE(device.isConnected());
}

}  // namespace
}  // namespace torven
