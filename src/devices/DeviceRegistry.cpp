#include "devices/DeviceRegistry.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "collection/DataCollectionType.h"
#include "devices/DeviceChannel.h"
#include "devices/DeviceFactory.h"
#include "devices/ListItems.h"
#include "eventlog/EventLog.h"

namespace torven {

namespace {

constexpr std::int64_t millisecondsPerSecond = 1000;
// The wait between attempts doubles from 1 s up to 4 s, so that a device that comes back is
// tried again within about 4 s while a dead one costs little.
constexpr int longestWaitDoublings = 2;
constexpr std::int64_t flapWarningMilliseconds = 3600 * millisecondsPerSecond;
// A first return without a sample is still logged as a return; from the second one on the
// device counts as dropping out over and over.
constexpr int returnsBeforeFlapWarning = 2;
// Returns logged an hour for a device that delivers samples between its drop-outs; beyond
// these its returns and its streams' losses are summed up in the hourly warning instead.
constexpr int returnsLoggedPerHour = 6;

// 1 s after one failed attempt, 2 s after two, 4 s after more.
std::int64_t waitAfterFailures(int failedAttempts) {
    const int doublings = std::min(failedAttempts - 1, longestWaitDoublings);
    return (std::int64_t{1} << doublings) * millisecondsPerSecond;
}

std::string portText(const PhysicalDevice& device) {
    return device.typeName() + " on port " + device.connectedPortName();
}

// The device work of one batch: each piece runs on a thread of its own when its device works
// on one, else at once on the calling thread. The batch ends when the object goes, with every
// thread joined, so nothing a piece touches outlives it unjoined.
class DeviceBatch {
  public:
    explicit DeviceBatch(std::size_t pieces) { workers_.reserve(pieces); }

    void run(const PhysicalDevice& device, const std::function<void()>& work) {
        if (device.worksOnOwnThread() && startWorker(work))
            return;
        work();
    }

  private:
    bool startWorker(const std::function<void()>& work) {
        try {
            workers_.emplace_back(work);
            return true;
        } catch (const std::system_error&) {
            // No thread to be had: the calling thread does the work, only later than planned.
            return false;
        }
    }

    std::vector<std::jthread> workers_;
};

// Whether one device's work of a batch succeeded; one per device, so that no two threads
// write the same object.
struct Outcome {
    bool succeeded = false;
};

// Runs the operation on every device in one batch; whether it succeeded, device by device.
std::vector<Outcome> runTogether(const std::vector<PhysicalDevice*>& devices,
                                 bool (PhysicalDevice::*operation)()) {
    std::vector<Outcome> outcomes(devices.size());
    {
        // Joined at the end of this block, before the outcomes are handed back.
        DeviceBatch batch(devices.size());
        for (std::size_t index = 0; index < devices.size(); ++index) {
            PhysicalDevice* device = devices[index];
            Outcome& outcome = outcomes[index];
            batch.run(*device, [device, operation, &outcome] {
                outcome.succeeded = (device->*operation)();
            });
        }
    }
    return outcomes;
}

void logReturn(const PhysicalDevice& device) {
    logEvent(LogLevel::INFO, portText(device) + " has returned online");
}

// Tells the streams bound to the device's channels whether its link is up. A stream that
// lost the link shows it; one that had lost it is back on line. Other states are the data
// file writer's to change.
void reportLinkState(PhysicalDevice& device, bool linkUp, bool lossesLogged) {
    for (std::int32_t number = 1; number <= device.channelCount(); ++number) {
        const DeviceChannel* channel = device.channel(number);
        DataCollectionType* stream = channel ? channel->collectionType() : nullptr;
        if (stream == nullptr)
            continue;
        stream->setLossReportsHeld(!lossesLogged);
        if (!linkUp) {
            stream->setStatus(CollectionStatus::ComLinkOff);
        } else if (stream->status() == CollectionStatus::ComLinkOff) {
            stream->setStatus(CollectionStatus::OnLine);
        }
    }
}

bool sameDefinition(const PhysicalDevice& left, const PhysicalDevice& right) {
    return left.typeName() == right.typeName() && left.port() == right.port();
}

// The streams bound to the channels of `from` become those of `to`, channel by channel; a
// channel of `to` that no stream of `from` records is left unbound.
void moveBindings(PhysicalDevice& from, PhysicalDevice& to) {
    for (std::int32_t number = 1; number <= to.channelCount(); ++number) {
        DeviceChannel* source = from.channel(number);
        DataCollectionType* stream = source ? source->collectionType() : nullptr;
        if (source != nullptr)
            source->setCollectionType(nullptr);
        if (stream == nullptr || !stream->bindChannel(to, number)) {
            if (DeviceChannel* target = to.channel(number))
                target->setCollectionType(nullptr);
        }
    }
}

void unbindChannels(PhysicalDevice& device) {
    for (std::int32_t number = 1; number <= device.channelCount(); ++number) {
        if (DeviceChannel* channel = device.channel(number))
            channel->setCollectionType(nullptr);
    }
}

}  // namespace

DeviceRegistry::~DeviceRegistry() {
    disconnectAll();
}

PhysicalDevice* DeviceRegistry::addDevice(const std::string& typeName, const std::string& port) {
    std::unique_ptr<PhysicalDevice> device = DeviceFactory::createDevice(typeName);
    if (!device)
        return nullptr;
    device->setPort(port);
    return addDevice(std::move(device));
}

PhysicalDevice* DeviceRegistry::addDevice(std::unique_ptr<PhysicalDevice> device) {
    if (!device)
        return nullptr;
    devices_.push_back({std::move(device), {}, {}});
    return devices_.back().device.get();
}

PhysicalDevice* DeviceRegistry::deviceAt(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return devices_[index].device.get();
}

DeviceRegistry::LinkCounts DeviceRegistry::linkCountsAt(int index) const {
    if (index < 0 || index >= count())
        return {};
    return devices_[index].counts;
}

PhysicalDevice* DeviceRegistry::lastDevice() const {
    return devices_.empty() ? nullptr : devices_.back().device.get();
}

bool DeviceRegistry::connectAll() {
    for (Entry& entry : devices_) {
        // At most one flap warning an hour holds across mode changes too.
        const auto lastFlapWarning = entry.reconnection.lastFlapWarning;
        entry.reconnection = Reconnection{};
        entry.reconnection.tried = true;
        entry.reconnection.lastFlapWarning = lastFlapWarning;
    }
    const std::vector<Outcome> connected = runTogether(allDevices(), &PhysicalDevice::connect);
    for (std::size_t index = 0; index < connected.size(); ++index) {
        if (!connected[index].succeeded)
            ++devices_[index].counts.failedHandshakes;
    }
    return std::all_of(connected.begin(), connected.end(),
                       [](const Outcome& outcome) { return outcome.succeeded; });
}

void DeviceRegistry::reconnectAll(std::int64_t deadline, const MillisecondClock& now) {
    const std::int64_t batchStart = now();
    if (batchStart + attemptMilliseconds > deadline)
        return;
    const std::vector<Entry*> lost = lostDevicesLeastRecentlyTriedFirst();
    // Reserved in full: the workers write into their elements while more are added.
    std::vector<Attempt> attempts;
    attempts.reserve(lost.size());
    {
        DeviceBatch batch(lost.size());
        for (Entry* entry : lost) {
            if (!entry->device->worksOnOwnThread() || !attemptDue(entry->reconnection, batchStart))
                continue;
            Attempt& attempt = attempts.emplace_back(beginAttempt(*entry, batchStart));
            PhysicalDevice& device = *entry->device;
            batch.run(device, [&device, &attempt] { attempt.connected = device.connect(); });
        }
        // The others take their turns on this thread while those run.
        for (Entry* entry : lost) {
            if (entry->device->worksOnOwnThread())
                continue;
            const std::int64_t start = now();
            if (start + attemptMilliseconds > deadline)
                break;
            if (!attemptDue(entry->reconnection, start))
                continue;
            Attempt& attempt = attempts.emplace_back(beginAttempt(*entry, start));
            attempt.connected = entry->device->connect();
        }
    }
    // The entries lie in configuration order in one vector.
    std::sort(attempts.begin(), attempts.end(),
              [](const Attempt& left, const Attempt& right) { return left.entry < right.entry; });
    for (const Attempt& attempt : attempts)
        finishAttempt(attempt);
}

std::vector<DeviceRegistry::Entry*> DeviceRegistry::lostDevicesLeastRecentlyTriedFirst() {
    std::vector<Entry*> lost;
    for (Entry& entry : devices_) {
        if (!entry.device->isConnected())
            lost.push_back(&entry);
    }
    // Never tried comes first (an empty optional orders before every time); a stable sort
    // keeps the configuration order among equals.
    std::stable_sort(lost.begin(), lost.end(), [](const Entry* left, const Entry* right) {
        return left->reconnection.lastAttempt < right->reconnection.lastAttempt;
    });
    return lost;
}

bool DeviceRegistry::attemptDue(const Reconnection& reconnection, std::int64_t now) {
    if (reconnection.failedAttempts == 0 || !reconnection.lastAttempt)
        return true;
    return now >= *reconnection.lastAttempt + waitAfterFailures(reconnection.failedAttempts);
}

DeviceRegistry::Attempt DeviceRegistry::beginAttempt(Entry& entry, std::int64_t now) {
    Reconnection& reconnection = entry.reconnection;
    // The first connection of a device just built by a configuration load is no return.
    const Attempt attempt{.entry = &entry, .start = now, .firstConnection = !reconnection.tried};
    reconnection.tried = true;
    reconnection.lastAttempt = now;
    // Failed until a sample read after it proves the device back.
    ++reconnection.failedAttempts;
    return attempt;
}

void DeviceRegistry::finishAttempt(const Attempt& attempt) {
    Entry& entry = *attempt.entry;
    if (!attempt.connected) {
        ++entry.counts.failedHandshakes;
        return;
    }
    if (!attempt.firstConnection)
        ++entry.counts.reconnections;
    Reconnection& reconnection = entry.reconnection;
    reconnection.awaitingSample = true;
    if (attempt.firstConnection || !returnLogAllowed(entry, attempt.start))
        return;
    if (reconnection.returnsWithoutSample == 0)
        logReturn(*entry.device);
}

// Counts the return into its hour; false once the device has come back more often in that
// hour than is worth a line each, and then warns at most once an hour.
bool DeviceRegistry::returnLogAllowed(Entry& entry, std::int64_t now) {
    Reconnection& reconnection = entry.reconnection;
    if (!reconnection.returnsCountedFrom ||
        now - *reconnection.returnsCountedFrom >= flapWarningMilliseconds) {
        reconnection.returnsCountedFrom = now;
        reconnection.returnsThisHour = 0;
    }
    reconnection.lossesHeld = ++reconnection.returnsThisHour > returnsLoggedPerHour;
    if (!reconnection.lossesHeld)
        return true;
    warnFlapping(entry, now,
                 std::to_string(reconnection.returnsThisHour) + " times within an hour");
    return false;
}

void DeviceRegistry::warnFlapping(Entry& entry, std::int64_t returnedAt, const std::string& how) {
    Reconnection& reconnection = entry.reconnection;
    if (reconnection.lastFlapWarning &&
        returnedAt - *reconnection.lastFlapWarning < flapWarningMilliseconds) {
        return;
    }
    reconnection.lastFlapWarning = returnedAt;
    logEvent(LogLevel::WARN,
             portText(*entry.device) + " keeps dropping out: returned online " + how);
}

void DeviceRegistry::noteRead(Entry& entry, bool wasConnected, bool sampleRead) {
    if (wasConnected && !sampleRead)
        ++entry.counts.failedReads;
    Reconnection& reconnection = entry.reconnection;
    const bool firstReadAfterReturn = reconnection.awaitingSample;
    reconnection.awaitingSample = false;
    if (sampleRead) {
        reconnection.failedAttempts = 0;
        // Its returns have gone unlogged while it kept dropping out: this one is real.
        if (firstReadAfterReturn && reconnection.returnsWithoutSample > 0)
            logReturn(*entry.device);
        reconnection.returnsWithoutSample = 0;
        return;
    }
    if (!firstReadAfterReturn)
        return;
    ++reconnection.returnsWithoutSample;
    if (reconnection.returnsWithoutSample < returnsBeforeFlapWarning)
        return;
    warnFlapping(
        entry, reconnection.lastAttempt.value_or(0),
        std::to_string(reconnection.returnsWithoutSample) + " times without a usable sample");
}

void DeviceRegistry::readAll() {
    for (const Entry& entry : devices_)
        entry.device->startSample();
    std::vector<Entry*> read;
    std::vector<PhysicalDevice*> readDevices;
    std::vector<bool> wasConnected;
    for (Entry& entry : devices_) {
        // A device built by a configuration load is first connected after the reads of a pass;
        // until it has been tried there is no link to tell its streams about.
        if (!entry.reconnection.tried && !entry.device->isConnected())
            continue;
        entry.reconnection.tried = true;
        read.push_back(&entry);
        readDevices.push_back(entry.device.get());
        wasConnected.push_back(entry.device->isConnected());
    }
    const std::vector<Outcome> linkUp = runTogether(readDevices, &PhysicalDevice::readSample);
    for (std::size_t index = 0; index < read.size(); ++index) {
        Entry& entry = *read[index];
        noteRead(entry, wasConnected[index], linkUp[index].succeeded);
        reportLinkState(*entry.device, linkUp[index].succeeded, !entry.reconnection.lossesHeld);
    }
}

// Every stop command waits for its echo, so the devices are stopped at the same time too.
void DeviceRegistry::disconnectAll() {
    runTogether(allDevices(), &PhysicalDevice::disconnect);
}

std::vector<PhysicalDevice*> DeviceRegistry::allDevices() const {
    std::vector<PhysicalDevice*> devices;
    for (const Entry& entry : devices_)
        devices.push_back(entry.device.get());
    return devices;
}

void DeviceRegistry::clear() {
    for (Entry& entry : devices_) {
        entry.device->disconnect();
        entry.device.reset();
    }
    devices_.clear();
}

void DeviceRegistry::takeOver(DeviceRegistry& built) {
    std::vector<Entry> own = std::move(devices_);
    devices_.clear();
    std::vector<Entry> unneeded;
    for (Entry& twin : built.devices_) {
        const auto kept = std::find_if(own.begin(), own.end(), [&twin](const Entry& entry) {
            return entry.device && sameDefinition(*entry.device, *twin.device);
        });
        if (kept == own.end()) {
            devices_.push_back(std::move(twin));
            continue;
        }
        moveBindings(*twin.device, *kept->device);
        devices_.push_back(std::move(*kept));
        unneeded.push_back(std::move(twin));
    }
    // Taken entries were moved from and hold no device any more.
    for (Entry& entry : own) {
        if (!entry.device)
            continue;
        unbindChannels(*entry.device);
        unneeded.push_back(std::move(entry));
    }
    built.devices_ = std::move(unneeded);
}

std::string DeviceRegistry::scanAllDeviceTypes() {
    const std::string typeNames = DeviceFactory::supportedDeviceTypes();
    std::size_t position = 0;
    std::string report;
    for (std::string typeName = nextListItem(typeNames, position); !typeName.empty();
         typeName = nextListItem(typeNames, position)) {
        report += typeName + ": ";
        if (const std::unique_ptr<PhysicalDevice> device = DeviceFactory::createDevice(typeName)) {
            report += device->scanPorts();
        } else {
            report += "No device handler?";
        }
        report += "\n";
    }
    return report;
}

}  // namespace torven
