// Reading and connecting DI-194RS devices in real time, against simulated devices on
// pseudo-terminals that send at the 4800-baud line rate: one sample cannot come faster than
// its 20 bytes take on the line, 41.7 ms, so the figures of reads are given as multiples of
// that limit, and those of connecting as multiples of one device's handshake.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "bench/SimulatedStation.h"
#include "config/SiteConfiguration.h"
#include "devices/Di194RsDevice.h"

namespace torven {
namespace {

// 20 characters of 10 bits (start, 8 data, stop) at 4800 baud.
constexpr double lineRateLimitSeconds = 20 * 10 / 4800.0;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_ReadSample(benchmark::State& state) {
    bench::SimulatedStation simulated(1);
    Di194RsDevice device;
    device.setPort("COM1");
    if (!simulated.started() || !device.connect()) {
        state.SkipWithError("the simulated device did not connect");
        return;
    }
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool read = device.readSample();
        const double seconds = secondsSince(start);
        state.SetIterationTime(seconds);
        total += seconds;
        if (!read) {
            state.SkipWithError("a sample was not read");
            break;
        }
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["line_rate_ms"] = lineRateLimitSeconds * 1000;
    state.counters["x_line_rate"] = mean / lineRateLimitSeconds;
}

// One ModeController step in data collection with every device healthy: each device read,
// and a row written for every stream once per new second. x_line_rate is the pass's time in
// line-rate limits: devices read one after another would make it the number of devices.
void BM_DataCollectionPass(benchmark::State& state) {
    const auto devices = static_cast<int>(state.range(0));
    bench::SimulatedStation simulated(devices);
    SiteConfiguration site;
    if (!simulated.started() || !site.loadConfiguration()) {
        state.SkipWithError("the simulated station did not start");
        return;
    }
    // Entering data collection connects every device; that is not part of a pass.
    site.modeController.step(site, DataLoggingMode::DATALOG);
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        site.modeController.step(site, DataLoggingMode::DATALOG);
        const double seconds = secondsSince(start);
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const DataLogger& streams = site.modeController.dataLogger;
    for (int index = 0; index < streams.count(); ++index) {
        if (streams.typeAt(index)->status() == CollectionStatus::ComLinkOff) {
            state.SkipWithError("a device stopped answering");
            return;
        }
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["devices"] = devices;
    state.counters["ms_per_device"] = mean * 1000 / devices;
    state.counters["x_line_rate"] = mean / lineRateLimitSeconds;
}

// The connect of a lone device on COM1, the time one handshake takes; the mean of a few.
double handshakeSeconds() {
    constexpr int handshakes = 3;
    double total = 0;
    for (int handshake = 0; handshake < handshakes; ++handshake) {
        Di194RsDevice device;
        device.setPort("COM1");
        const auto start = Clock::now();
        if (!device.connect())
            return 0;
        total += secondsSince(start);
        device.disconnect();
    }
    return total / handshakes;
}

bool allConnected(const DeviceRegistry& devices) {
    for (int index = 0; index < devices.count(); ++index) {
        if (!devices.deviceAt(index)->isConnected())
            return false;
    }
    return true;
}

// The step that enters data collection, to the end of its first pass: the wait before the
// first row. x_handshake is that time in handshakes of one device: devices connected one
// after another would make it about the number of devices, devices connected at the same
// time about 1 (plus the first pass's reads).
void BM_EnterDataCollection(benchmark::State& state) {
    const auto devices = static_cast<int>(state.range(0));
    bench::SimulatedStation simulated(devices);
    SiteConfiguration site;
    const double handshake = simulated.started() ? handshakeSeconds() : 0;
    if (handshake == 0 || !site.loadConfiguration()) {
        state.SkipWithError("the simulated station did not start");
        return;
    }
    ModeController& controller = site.modeController;
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        controller.step(site, DataLoggingMode::DATALOG);
        const double seconds = secondsSince(start);
        state.SetIterationTime(seconds);
        total += seconds;
        if (!allConnected(controller.devices)) {
            state.SkipWithError("a device did not connect");
            break;
        }
        // Leaving disconnects every device, so that the next step enters afresh.
        controller.step(site, DataLoggingMode::STOPPED);
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["devices"] = devices;
    state.counters["handshake_ms"] = handshake * 1000;
    state.counters["x_handshake"] = mean / handshake;
}

BENCHMARK(BM_ReadSample)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataCollectionPass)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->UseManualTime()
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EnterDataCollection)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace torven
