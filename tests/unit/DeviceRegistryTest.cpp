#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devices/DeviceChannel.h"
#include "devices/DeviceFactory.h"
#include "devices/DeviceRegistry.h"
#include "devices/Di194RsDevice.h"
#include "support/FakeDevice.h"
#include "support/FakeStream.h"
#include "support/ScratchStation.h"
#include "support/WaitUntil.h"

namespace torven {
namespace {

using test::FakeDevice;
using test::FakeStream;

TEST(DeviceFactoryTest, KnowsExactlyTheDi194RsName) {
    EXPECT_EQ(DeviceFactory::supportedDeviceTypes(), "DI-194RS");
    const auto device = DeviceFactory::createDevice("DI-194RS");
    ASSERT_NE(device, nullptr);
    EXPECT_NE(dynamic_cast<Di194RsDevice*>(device.get()), nullptr);
    for (const char* name : {"di-194rs", "DI-194RS ", " DI-194RS", "", "DI-194", "DI-194RSX"}) {
        EXPECT_EQ(DeviceFactory::createDevice(name), nullptr) << '"' << name << '"';
    }
}

TEST(Di194RsDeviceStateTest, NewDeviceIsDisconnectedWithInvalidChannels) {
    Di194RsDevice device;
    EXPECT_FALSE(device.isConnected());
    EXPECT_EQ(device.port(), "");
    EXPECT_EQ(device.connectedPortName(), "");
    EXPECT_EQ(device.typeName(), "DI-194RS");
    ASSERT_EQ(device.channelCount(), 4);
    for (std::int32_t number = 1; number <= 4; ++number) {
        EXPECT_EQ(device.channelValue(number), noReading);
        DeviceChannel* channel = device.channel(number);
        ASSERT_NE(channel, nullptr);
        EXPECT_FALSE(channel->valid());
        EXPECT_EQ(channel->collectionType(), nullptr);
        EXPECT_EQ(channel->valueText(), "-9999.999");
    }
}

TEST(Di194RsDeviceStateTest, ChannelNumbersOutsideOneToFourHaveNothing) {
    Di194RsDevice device;
    for (const std::int32_t number : {0, 5, -1, 1000}) {
        EXPECT_EQ(device.channelValue(number), noReading) << number;
        EXPECT_EQ(device.channel(number), nullptr) << number;
    }
    EXPECT_NE(device.channel(1), device.channel(4));
}

TEST(Di194RsDeviceStateTest, DisconnectedDeviceNeitherReadsNorStops) {
    Di194RsDevice device;
    device.setPort("COM3");
    EXPECT_EQ(device.port(), "COM3");
    EXPECT_FALSE(device.readSample());
    EXPECT_TRUE(device.disconnect());
    EXPECT_FALSE(device.isConnected());
}

TEST(DeviceRegistryTest, AddsDevicesInOrderWithTheirPorts) {
    DeviceRegistry registry;
    EXPECT_EQ(registry.lastDevice(), nullptr);
    EXPECT_EQ(registry.deviceAt(0), nullptr);

    PhysicalDevice* first = registry.addDevice("DI-194RS", "COM3");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->port(), "COM3");
    EXPECT_EQ(registry.addDevice("di-194rs", "COM4"), nullptr);
    EXPECT_EQ(registry.count(), 1);
    PhysicalDevice* second = registry.addDevice("DI-194RS", "");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->port(), "");
    EXPECT_EQ(registry.addDevice(std::unique_ptr<PhysicalDevice>()), nullptr);

    EXPECT_EQ(registry.count(), 2);
    EXPECT_EQ(registry.deviceAt(0), first);
    EXPECT_EQ(registry.deviceAt(1), second);
    EXPECT_EQ(registry.lastDevice(), second);
    EXPECT_EQ(registry.deviceAt(-1), nullptr);
    EXPECT_EQ(registry.deviceAt(registry.count()), nullptr);
}

// Fake devices added to a registry, with the registry keeping ownership.
struct Fakes {
    DeviceRegistry registry;
    FakeDevice* add(const std::string& port) {
        auto device = std::make_unique<FakeDevice>(port);
        FakeDevice* raw = device.get();
        registry.addDevice(std::move(device));
        return raw;
    }
};

TEST(DeviceRegistryTest, ConnectAllTriesEveryDeviceAndReportsWhetherAllConnected) {
    Fakes fakes;
    FakeDevice* first = fakes.add("COM1");
    FakeDevice* silent = fakes.add("COM2");
    FakeDevice* last = fakes.add("COM3");
    silent->setAnswering(false);
    EXPECT_FALSE(fakes.registry.connectAll());
    EXPECT_EQ(first->connectCalls(), 1);
    EXPECT_EQ(silent->connectCalls(), 1);
    EXPECT_EQ(last->connectCalls(), 1);
    EXPECT_TRUE(last->isConnected());

    silent->setAnswering(true);
    EXPECT_TRUE(fakes.registry.connectAll());
}

TEST(DeviceRegistryTest, ReadAllTellsTheBoundStreamsWhetherTheLinkIsUp) {
    Fakes fakes;
    FakeDevice* device = fakes.add("COM1");
    FakeStream first("A", 1);
    FakeStream second("B", 1);
    device->channel(1)->setCollectionType(&first);
    device->channel(3)->setCollectionType(&second);
    device->forceConnected(true);

    const struct {
        bool answering;
        CollectionStatus before;
        CollectionStatus after;
    } cases[] = {
        {false, CollectionStatus::OnLine, CollectionStatus::ComLinkOff},
        {false, CollectionStatus::Logging, CollectionStatus::ComLinkOff},
        {false, CollectionStatus::FileWriteError, CollectionStatus::ComLinkOff},
        {true, CollectionStatus::ComLinkOff, CollectionStatus::OnLine},
        {true, CollectionStatus::Logging, CollectionStatus::Logging},
        {true, CollectionStatus::FileWriteError, CollectionStatus::FileWriteError},
        {true, CollectionStatus::OffLine, CollectionStatus::OffLine},
    };
    for (const auto& entry : cases) {
        device->forceConnected(true);
        device->setAnswering(entry.answering);
        first.setStatus(entry.before);
        second.setStatus(entry.before);
        fakes.registry.readAll();
        EXPECT_EQ(first.status(), entry.after) << static_cast<int>(entry.before);
        EXPECT_EQ(second.status(), entry.after) << static_cast<int>(entry.before);
    }
}

TEST(DeviceRegistryTest, ReadAllStartsASampleOnEveryDeviceBeforeReadingAny) {
    Fakes fakes;
    std::vector<std::string> journal;
    for (const char* port : {"COM1", "COM2", "COM3"}) {
        FakeDevice* device = fakes.add(port);
        device->setJournal(&journal);
        device->forceConnected(true);
    }
    fakes.registry.readAll();
    EXPECT_EQ(journal, (std::vector<std::string>{"COM1 start", "COM2 start", "COM3 start",
                                                 "COM1 read", "COM2 read", "COM3 read"}));
}

TEST(DeviceRegistryTest, ReadAllReadsEveryDeviceAlsoAfterOneFailed) {
    Fakes fakes;
    FakeDevice* failing = fakes.add("COM1");
    FakeDevice* working = fakes.add("COM2");
    failing->forceConnected(true);
    failing->setAnswering(false);
    FakeStream stream("B", 1);
    working->channel(2)->setCollectionType(&stream);
    stream.setStatus(CollectionStatus::ComLinkOff);
    working->forceConnected(true);
    fakes.registry.readAll();
    EXPECT_EQ(failing->readCalls(), 1);
    EXPECT_EQ(working->readCalls(), 1);
    EXPECT_EQ(stream.status(), CollectionStatus::OnLine);
}

TEST(DeviceRegistryTest, ReadAllTellsNothingAboutADeviceNotYetTriedSinceItWasBuilt) {
    test::ScratchStation station;
    Fakes fakes;
    FakeDevice* fresh = fakes.add("COM1");
    FakeDevice* dead = fakes.add("COM2");
    dead->setAnswering(false);
    FakeStream freshStream("A", 1);
    FakeStream deadStream("B", 1);
    fresh->channel(1)->setCollectionType(&freshStream);
    dead->channel(1)->setCollectionType(&deadStream);

    fakes.registry.readAll();
    EXPECT_EQ(freshStream.status(), CollectionStatus::OffLine);
    EXPECT_EQ(deadStream.status(), CollectionStatus::OffLine);

    std::int64_t now = 0;
    fakes.registry.reconnectAll(60000, [&now] { return now; });
    fakes.registry.readAll();
    EXPECT_EQ(freshStream.status(), CollectionStatus::OffLine) << "a sound read leaves OFF-LINE";
    EXPECT_EQ(deadStream.status(), CollectionStatus::ComLinkOff);
}

// A registry of fake devices with a clock of the test's own, in milliseconds. Each pass reads
// every device and then reconnects with a deadline far enough away for every attempt.
class ReconnectionTest : public ::testing::Test {
  protected:
    FakeDevice* add(const std::string& port) { return fakes.add(port); }

    // Every connect call of the device costs this long on the test's clock.
    void costs(FakeDevice* device, std::int64_t milliseconds) {
        device->setOnConnect([this, milliseconds] { now += milliseconds; });
    }

    void reconnect(std::int64_t deadline) {
        fakes.registry.reconnectAll(deadline, [this] { return now; });
    }

    void pass() {
        fakes.registry.readAll();
        reconnect(now + 60000);
    }

    // The device was connected and has just been lost at a read.
    void dropOut(FakeDevice* device) {
        device->forceConnected(true);
        device->setDeliversSamples(false);
        fakes.registry.readAll();
        device->setDeliversSamples(true);
    }

    // Passes every quarter second for that long, from now on.
    void passFor(std::int64_t milliseconds) {
        for (const std::int64_t end = now + milliseconds; now < end; now += 250)
            pass();
    }

    test::ScratchStation station;
    Fakes fakes;
    std::int64_t now = 1000000;
};

TEST_F(ReconnectionTest, ConnectsOnlyLostDevicesAndLogsEachReturnOnce) {
    FakeDevice* connected = add("COM1");
    FakeDevice* lost = add("COM3");
    FakeDevice* stillGone = add("COM4");
    connected->forceConnected(true);
    stillGone->setAnswering(false);
    dropOut(lost);

    pass();
    EXPECT_EQ(connected->connectCalls(), 0);
    EXPECT_EQ(lost->connectCalls(), 1);
    EXPECT_EQ(stillGone->connectCalls(), 1);
    EXPECT_TRUE(lost->isConnected());
    EXPECT_EQ(station.eventLogMessages(),
              std::vector<std::string>{"FAKE-194 on port COM3 has returned online"});

    passFor(10000);
    EXPECT_EQ(lost->connectCalls(), 1);
    EXPECT_EQ(station.eventLogMessages().size(), 1u) << "its samples log nothing more";
}

TEST_F(ReconnectionTest, StartsNoAttemptThatCouldRunPastTheDeadline) {
    const std::int64_t attempt = DeviceRegistry::attemptMilliseconds;
    const struct {
        std::int64_t deadlineAfterNow;
        int attempts;
    } cases[] = {
        {0, 0}, {attempt - 1, 0}, {attempt, 1}, {3 * attempt - 1, 2}, {3 * attempt, 3}, {60000, 4},
    };
    for (const auto& entry : cases) {
        Fakes local;
        int attempts = 0;
        for (const char* port : {"COM1", "COM2", "COM3", "COM4"}) {
            FakeDevice* device = local.add(port);
            device->setAnswering(false);
            // Each attempt takes all the time an attempt may take.
            device->setOnConnect([&] {
                ++attempts;
                now += attempt;
            });
        }
        const std::int64_t deadline = now + entry.deadlineAfterNow;
        local.registry.reconnectAll(deadline, [this] { return now; });
        EXPECT_EQ(attempts, entry.attempts) << "deadline " << entry.deadlineAfterNow;
        EXPECT_LE(now, deadline) << "an attempt ran past the deadline";
    }
}

TEST_F(ReconnectionTest, TriesTheLeastRecentlyTriedDeviceFirst) {
    std::vector<std::string> tried;
    std::vector<FakeDevice*> devices;
    for (const char* port : {"COM1", "COM2", "COM3", "COM4"}) {
        FakeDevice* device = add(port);
        device->setAnswering(false);
        device->setOnConnect([&tried, port, this] {
            tried.push_back(port);
            now += DeviceRegistry::attemptMilliseconds;
        });
        devices.push_back(device);
    }
    devices[1]->setAnswering(true);
    fakes.registry.connectAll();
    tried.clear();
    devices[1]->setAnswering(false);

    // Room for one attempt per call; long enough between calls for every wait to be over.
    const auto oneAttempt = [this] {
        reconnect(now + DeviceRegistry::attemptMilliseconds);
        now += 10000;
    };
    for (int call = 0; call < 3; ++call)
        oneAttempt();
    EXPECT_EQ(tried, (std::vector<std::string>{"COM1", "COM3", "COM4"}));

    // COM2 drops out: never tried since, it goes first, then the round goes on.
    fakes.registry.readAll();
    for (int call = 0; call < 5; ++call)
        oneAttempt();
    EXPECT_EQ(tried, (std::vector<std::string>{"COM1", "COM3", "COM4", "COM2", "COM1", "COM3",
                                               "COM4", "COM2"}));
}

TEST_F(ReconnectionTest, ADeviceThatKeepsFailingWaitsOneTwoThenFourSeconds) {
    FakeDevice* device = add("COM3");
    device->setAnswering(false);
    std::vector<std::int64_t> attempts;
    const std::int64_t start = now;
    device->setOnConnect([&] { attempts.push_back(now - start); });

    passFor(16000);
    EXPECT_EQ(attempts, (std::vector<std::int64_t>{0, 1000, 3000, 7000, 11000, 15000}));

    // Back after the attempt at 15 s: tried again by 19 s, then read; a sound sample clears
    // the history, so the next loss is tried at once.
    device->setAnswering(true);
    passFor(4250);
    EXPECT_EQ(attempts.back(), 19000);
    EXPECT_TRUE(device->isConnected());
    device->setAnswering(false);
    attempts.clear();
    passFor(250);
    EXPECT_EQ(attempts, (std::vector<std::int64_t>{20250}));
}

TEST_F(ReconnectionTest, ADeviceBackAfterEachUnpluggingLogsOneReturnEachTime) {
    FakeDevice* device = add("COM3");
    device->forceConnected(true);
    for (int unplugging = 0; unplugging < 3; ++unplugging) {
        device->setAnswering(false);
        passFor(30000);
        device->setAnswering(true);
        passFor(30000);
        EXPECT_TRUE(device->isConnected());
    }
    EXPECT_EQ(station.eventLogMessages(),
              std::vector<std::string>(3, "FAKE-194 on port COM3 has returned online"));
}

TEST_F(ReconnectionTest, ADeviceBackWithoutUsableSamplesWarnsAtMostHourlyAndLogsItsRecovery) {
    FakeDevice* device = add("COM7");
    dropOut(device);
    device->setDeliversSamples(false);
    const std::string returned = "FAKE-194 on port COM7 has returned online";
    const std::string dropping = "FAKE-194 on port COM7 keeps dropping out: returned online ";

    passFor(5000);
    EXPECT_EQ(station.eventLogMessages(),
              (std::vector<std::string>{returned, dropping + "2 times without a usable sample"}));

    // An hour and a half of it: one more warning, telling how often it came back.
    passFor(90 * 60 * 1000);
    std::vector<std::string> messages = station.eventLogMessages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].rfind(dropping, 0), 0u) << messages[2];
    EXPECT_GT(device->connectCalls(), 900) << "it is still tried every 4 s";

    // It delivers at last: its return is logged then, once.
    device->setDeliversSamples(true);
    passFor(10000);
    messages = station.eventLogMessages();
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[3], returned);
    EXPECT_TRUE(device->isConnected());
}

// Fake devices that work on threads of their own. The hook of each call waits until the
// calls of all of them have begun, so a registry that made the calls one after another would
// keep the first waiting in vain.
struct MeetingDevices {
    static constexpr int count = 4;

    MeetingDevices() {
        for (int index = 0; index < count; ++index) {
            devices[index] = fakes.add("COM" + std::to_string(index + 1));
            devices[index]->setWorksOnOwnThread(true);
        }
    }
    std::function<void()> meet(int index) {
        return [this, index] {
            threads[index] = std::this_thread::get_id();
            ++arrived;
            met[index] = test::waitUntil([this] { return arrived == count; });
        };
    }

    Fakes fakes;
    std::array<FakeDevice*, count> devices{};
    std::atomic<int> arrived = 0;
    std::array<std::thread::id, count> threads{};
    std::array<bool, count> met{};
};

TEST(DeviceRegistryTest, DevicesThatWorkOnThreadsOfTheirOwnConnectReadAndStopAtTheSameTime) {
    test::ScratchStation station;
    enum class Call { Connect, Read, Disconnect };
    const struct {
        const char* operation;
        Call call;
        void (*run)(DeviceRegistry&);
    } cases[] = {
        {"connectAll", Call::Connect, [](DeviceRegistry& registry) { registry.connectAll(); }},
        {"reconnectAll", Call::Connect,
         [](DeviceRegistry& registry) { registry.reconnectAll(60000, [] { return 0; }); }},
        {"readAll", Call::Read, [](DeviceRegistry& registry) { registry.readAll(); }},
        {"disconnectAll", Call::Disconnect,
         [](DeviceRegistry& registry) { registry.disconnectAll(); }},
    };
    for (const auto& entry : cases) {
        MeetingDevices meeting;
        for (int index = 0; index < MeetingDevices::count; ++index) {
            FakeDevice* device = meeting.devices[index];
            device->forceConnected(entry.call != Call::Connect);
            if (entry.call == Call::Read) {
                device->setOnRead(meeting.meet(index));
            } else if (entry.call == Call::Connect) {
                device->setOnConnect(meeting.meet(index));
            } else {
                device->setOnDisconnect(meeting.meet(index));
            }
        }
        entry.run(meeting.fakes.registry);
        for (int index = 0; index < MeetingDevices::count; ++index) {
            EXPECT_TRUE(meeting.met[index]) << entry.operation << " device " << index;
            EXPECT_NE(meeting.threads[index], std::this_thread::get_id()) << entry.operation;
            EXPECT_EQ(meeting.devices[index]->isConnected(), entry.call != Call::Disconnect)
                << entry.operation;
        }
    }
}

TEST(DeviceRegistryTest, DevicesTriedTogetherNeedOneAttemptsTimeAndLogInConfigurationOrder) {
    test::ScratchStation station;
    MeetingDevices meeting;
    ASSERT_TRUE(meeting.fakes.registry.connectAll());
    std::atomic<int> done = 0;
    for (int index = 0; index < MeetingDevices::count; ++index) {
        FakeDevice* device = meeting.devices[index];
        device->setDeliversSamples(false);
        // The last device ends its attempt first, the first one last.
        device->setOnConnect([index, &done] {
            test::waitUntil([&] { return done == MeetingDevices::count - 1 - index; });
            ++done;
        });
    }
    meeting.fakes.registry.readAll();
    for (FakeDevice* device : meeting.devices)
        device->setDeliversSamples(true);

    const std::int64_t attempt = DeviceRegistry::attemptMilliseconds;
    meeting.fakes.registry.reconnectAll(attempt - 1, [] { return 0; });
    EXPECT_EQ(done, 0) << "no attempt fits";
    meeting.fakes.registry.reconnectAll(attempt, [] { return 0; });
    EXPECT_EQ(done, MeetingDevices::count) << "one attempt's time is room for all";
    std::vector<std::string> returns;
    for (const char* port : {"COM1", "COM2", "COM3", "COM4"})
        returns.push_back(std::string("FAKE-194 on port ") + port + " has returned online");
    EXPECT_EQ(station.eventLogMessages(), returns);
}

// A device on an unchanged line stays, connected or lost as it was, at its new position; a
// lost one that comes back is a return, a new one's first connection is not.
TEST_F(ReconnectionTest, ATakeOverKeepsTheDevicesOfUnchangedLinesWithTheirState) {
    FakeDevice* kept = add("COM1");
    FakeDevice* lost = add("COM3");
    add("COM4")->forceConnected(true);
    kept->forceConnected(true);
    dropOut(lost);
    Fakes built;
    built.add("COM3");
    built.add("COM1");
    FakeDevice* added = built.add("COM5");
    fakes.registry.takeOver(built.registry);
    EXPECT_EQ(built.registry.count(), 3) << "the twins and the removed device are left over";
    built.registry.clear();

    ASSERT_EQ(fakes.registry.count(), 3);
    EXPECT_EQ(fakes.registry.deviceAt(0), lost);
    EXPECT_EQ(fakes.registry.deviceAt(1), kept);
    EXPECT_EQ(fakes.registry.deviceAt(2), added);
    pass();
    EXPECT_EQ(kept->connectCalls() + kept->disconnectCalls(), 0);
    EXPECT_TRUE(added->isConnected());
    EXPECT_EQ(station.eventLogMessages(),
              std::vector<std::string>{"FAKE-194 on port COM3 has returned online"});
}

TEST_F(ReconnectionTest, CountsReturnsFailedHandshakesAndFailedReadsOfConnectedDevicesOnly) {
    FakeDevice* flaky = add("COM1");
    FakeDevice* absent = add("COM2");
    absent->setAnswering(false);
    EXPECT_FALSE(fakes.registry.connectAll());
    dropOut(flaky);
    pass();  // flaky returns; absent fails again and then waits
    dropOut(flaky);
    pass();
    passFor(2000);  // absent tries again after its wait; its reads are of no device

    const DeviceRegistry::LinkCounts flakyCounts = fakes.registry.linkCountsAt(0);
    const DeviceRegistry::LinkCounts absentCounts = fakes.registry.linkCountsAt(1);
    EXPECT_EQ(flakyCounts.reconnections, 2u);
    EXPECT_EQ(flakyCounts.failedHandshakes, 0u);
    EXPECT_EQ(flakyCounts.failedReads, 2u);
    EXPECT_EQ(absentCounts.reconnections, 0u);
    EXPECT_EQ(absentCounts.failedHandshakes, static_cast<std::uint64_t>(absent->connectCalls()));
    EXPECT_GE(absentCounts.failedHandshakes, 3u);
    EXPECT_EQ(absentCounts.failedReads, 0u) << "a disconnected device has no read to fail";
    EXPECT_EQ(fakes.registry.linkCountsAt(2).reconnections, 0u) << "no such device";
}

TEST(DeviceRegistryTest, DisconnectAllAndClearDisconnectEveryDevice) {
    Fakes fakes;
    FakeDevice* first = fakes.add("COM1");
    FakeDevice* second = fakes.add("COM2");
    first->forceConnected(true);
    second->forceConnected(true);
    fakes.registry.disconnectAll();
    EXPECT_FALSE(first->isConnected());
    EXPECT_FALSE(second->isConnected());
    EXPECT_EQ(first->disconnectCalls(), 1);
    EXPECT_EQ(second->disconnectCalls(), 1);
    EXPECT_EQ(fakes.registry.count(), 2);

    fakes.registry.clear();
    EXPECT_EQ(fakes.registry.count(), 0);
    EXPECT_EQ(fakes.registry.lastDevice(), nullptr);
}

}  // namespace
}  // namespace torven
