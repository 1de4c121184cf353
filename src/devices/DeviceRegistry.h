#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devices/PhysicalDevice.h"

namespace torven {

// The configured devices, in the order of the configuration file. It owns them and is the
// only one that destroys them, always after disconnecting.
class DeviceRegistry {
  public:
    DeviceRegistry() = default;
    DeviceRegistry(const DeviceRegistry&) = delete;
    DeviceRegistry& operator=(const DeviceRegistry&) = delete;
    ~DeviceRegistry();

    // Creates a device of that type with the port text and appends it; none (and nothing
    // added) when the type is not supported.
    PhysicalDevice* addDevice(const std::string& typeName, const std::string& port);
    // Appends a device made elsewhere (tests use devices of their own).
    PhysicalDevice* addDevice(std::unique_ptr<PhysicalDevice> device);

    int count() const { return static_cast<int>(devices_.size()); }
    // The device at a 0-based position; none outside 0..count-1.
    PhysicalDevice* deviceAt(int index) const;

    // What has happened to a device's link since it was built (a reload that keeps the
    // device keeps its counts too).
    struct LinkCounts {
        std::uint64_t reconnections = 0;     // connects that brought a lost device back
        std::uint64_t failedHandshakes = 0;  // connect attempts that failed
        std::uint64_t failedReads = 0;       // reads of a connected device that failed
    };
    // The counts of the device at a 0-based position; zeros outside 0..count-1.
    LinkCounts linkCountsAt(int index) const;
    PhysicalDevice* lastDevice() const;

    // Milliseconds on a scale of the caller's choosing (the system clock since the epoch in
    // the program, a test's own clock in tests).
    using MillisecondClock = std::function<std::int64_t()>;

    // What a connect attempt is taken to cost. A full DI-194RS handshake takes 840 ms (the
    // 200 ms settling pause, three replies that end by the 200 ms read time-out, and S1 whose
    // reply the stream fills at once), a port that opens but never answers 600 ms, an absent
    // port next to nothing. The slowest failure the driver allows, S1 echoed without a stream
    // and then stopped, takes 1200 ms; the caller's deadline keeps a margin for that. Devices
    // that work on threads of their own make their attempts together, in one attempt's time.
    static constexpr std::int64_t attemptMilliseconds = 1100;

    // connect on every device, also after one failed; true when all connected. Devices that
    // work on threads of their own connect at the same time, the others in order on the
    // calling thread meanwhile. The reconnection history starts afresh.
    bool connectAll();
    // connect on devices that are not connected, starting attempts only while they can end by
    // the deadline (on the scale of `now`), so that the caller's next pass comes in time.
    // Devices that work on threads of their own are all tried at once when one attempt fits;
    // the others one after another, the one tried least recently first, while the next fits.
    // A device whose attempts keep failing waits 1, 2 and then 4 s between them; an attempt
    // counts as failed until a sample is read after it.
    // Returns and warnings are logged when all attempts have ended, in configuration order.
    // A return is logged as "<type> on port <COMn> has returned online", except the first
    // connection of a device that a configuration load has just built. A device that keeps
    // coming back without ever delivering a usable sample is logged once when it first
    // returns, then in a WARN at most once an hour, and again as returned once it delivers.
    // A device that keeps coming back and dropping out again has at most a few returns an
    // hour logged (and its streams' losses with them), then a WARN at most once an hour.
    void reconnectAll(std::int64_t deadline, const MillisecondClock& now);
    // startSample on every device, then readSample on each but those not yet tried since they
    // were built (at the same time on devices that work on threads of their own, so that the
    // failing reads of devices gone silent together overlap), then tells the streams bound to
    // each one's channels, in configuration order, whether the link is up (ComLinkOff when
    // not; back to OnLine from ComLinkOff when it is).
    void readAll();
    // disconnect on every device, at the same time.
    void disconnectAll();
    // Disconnects and destroys every device.
    void clear();
    // Puts the devices of `built` (a configuration just loaded), in its order, in place of its
    // own. One of its own devices of the same type on the same port text stays instead of its
    // built twin: connected as it is, with its reconnection history, its channels bound to
    // the streams of the twin's channels and the others unbound. `built` is left holding the
    // devices no longer needed, unbound, to disconnect and destroy them when it goes; until
    // then the channels that streams of the earlier configuration point at stay alive.
    void takeOver(DeviceRegistry& built);

    // Probes the ports with a short-lived device of every supported type, one report line
    // per type: "<type>: <result>\n". The configured devices are not touched.
    static std::string scanAllDeviceTypes();

  private:
    // How the reconnection of one device has gone.
    struct Reconnection {
        bool tried = false;                           // connect called since the device was built
        int failedAttempts = 0;                       // in a row
        std::optional<std::int64_t> lastAttempt;      // when it began; none before the first
        bool awaitingSample = false;                  // reconnected, its first read still to come
        int returnsWithoutSample = 0;                 // in a row, each ended by a failed first read
        std::optional<std::int64_t> lastFlapWarning;  // when the return it tells of began
        std::optional<std::int64_t> returnsCountedFrom;  // start of the hour of returnsThisHour
        int returnsThisHour = 0;
        bool lossesHeld = false;  // its returns and its streams' losses go unlogged
    };
    struct Entry {
        std::unique_ptr<PhysicalDevice> device;
        Reconnection reconnection;
        LinkCounts counts;
    };
    // One connect attempt of a reconnection batch.
    struct Attempt {
        Entry* entry = nullptr;
        std::int64_t start = 0;
        bool firstConnection = false;  // of a device a configuration load has just built
        bool connected = false;        // written by the attempt's own thread until it is joined
    };

    std::vector<Entry*> lostDevicesLeastRecentlyTriedFirst();
    std::vector<PhysicalDevice*> allDevices() const;
    static bool attemptDue(const Reconnection& reconnection, std::int64_t now);
    static Attempt beginAttempt(Entry& entry, std::int64_t now);
    static void finishAttempt(const Attempt& attempt);
    static bool returnLogAllowed(Entry& entry, std::int64_t now);
    static void warnFlapping(Entry& entry, std::int64_t returnedAt, const std::string& how);
    static void noteRead(Entry& entry, bool wasConnected, bool sampleRead);

    std::vector<Entry> devices_;
};

}  // namespace torven
