#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "devices/DeviceChannel.h"
#include "devices/DeviceFactory.h"
#include "devices/DeviceRegistry.h"
#include "devices/Di194RsDevice.h"
#include "support/FakeDevice.h"
#include "support/FakeStream.h"
#include "support/ScratchStation.h"

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

TEST(DeviceRegistryTest, ReadAllReadsEveryDeviceAlsoAfterOneFailed) {
    Fakes fakes;
    FakeDevice* failing = fakes.add("COM1");
    FakeDevice* working = fakes.add("COM2");
    FakeStream stream("B", 1);
    working->channel(2)->setCollectionType(&stream);
    stream.setStatus(CollectionStatus::ComLinkOff);
    working->forceConnected(true);
    fakes.registry.readAll();
    EXPECT_EQ(failing->readCalls(), 1);
    EXPECT_EQ(working->readCalls(), 1);
    EXPECT_EQ(stream.status(), CollectionStatus::OnLine);
}

TEST(DeviceRegistryTest, ReconnectAllConnectsOnlyLostDevicesAndLogsEachReturn) {
    test::ScratchStation station;
    Fakes fakes;
    FakeDevice* connected = fakes.add("COM1");
    FakeDevice* lost = fakes.add("COM3");
    FakeDevice* stillGone = fakes.add("COM4");
    connected->forceConnected(true);
    stillGone->setAnswering(false);

    fakes.registry.reconnectAll();
    EXPECT_EQ(connected->connectCalls(), 0);
    EXPECT_EQ(lost->connectCalls(), 1);
    EXPECT_EQ(stillGone->connectCalls(), 1);
    EXPECT_TRUE(lost->isConnected());
    EXPECT_EQ(station.eventLogMessages(),
              std::vector<std::string>{"FAKE-194 on port COM3 has returned online"});

    fakes.registry.reconnectAll();
    EXPECT_EQ(lost->connectCalls(), 1);
    EXPECT_EQ(stillGone->connectCalls(), 2);
    EXPECT_EQ(station.eventLogMessages().size(), 1u);
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
