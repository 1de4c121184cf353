// Reading DI-194RS devices in real time, against simulated devices on pseudo-terminals that
// send at the 4800-baud line rate: one sample cannot come faster than its 20 bytes take on
// the line, 41.7 ms, so the figures are given as multiples of that limit.

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

BENCHMARK(BM_ReadSample)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DataCollectionPass)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->UseManualTime()
    ->Iterations(12)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace torven
