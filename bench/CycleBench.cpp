// The processor time of one cycle of the menu loop, the program's steady state: one
// data-collection pass, the status display refresh, the dump check, the 250 ms sleep and the
// configuration check. The loop runs for real; the controller's time source, which every
// pass calls once on the loop's thread, takes the measurements and then types Escape and Q
// to end the loop. The time counted is the loop thread's own, so that the simulators' threads
// in the same process do not count.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <ctime>

#include "bench/SimulatedStation.h"
#include "config/SiteConfiguration.h"
#include "shell/MenuLoop.h"

namespace torven {
namespace {

constexpr int warmUpPasses = 3;
constexpr int measuredCycles = 20;
constexpr double cycleSeconds = 0.25;

using Clock = std::chrono::steady_clock;

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::int64_t utcSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class CycleMeter {
  public:
    explicit CycleMeter(Console& console) : console_(console) {}

    // The controller's time source: one call per pass, so one per cycle.
    std::int64_t onPass() {
        ++passes_;
        if (passes_ == warmUpPasses) {
            cpuStart_ = threadCpuSeconds();
            wallStart_ = Clock::now();
        } else if (passes_ == warmUpPasses + measuredCycles) {
            cpuSeconds_ = threadCpuSeconds() - cpuStart_;
            wallSeconds_ = std::chrono::duration<double>(Clock::now() - wallStart_).count();
            console_.feedKeys("\x1b");
        } else if (passes_ == warmUpPasses + measuredCycles + 1) {
            console_.feedKeys("q");
        }
        return utcSeconds();
    }

    bool measured() const { return passes_ > warmUpPasses + measuredCycles; }
    double cpuSeconds() const { return cpuSeconds_; }
    double wallSeconds() const { return wallSeconds_; }

  private:
    Console& console_;
    int passes_ = 0;
    double cpuStart_ = 0;
    Clock::time_point wallStart_;
    double cpuSeconds_ = 0;
    double wallSeconds_ = 0;
};

void BM_MenuCycleCpu(benchmark::State& state) {
    const auto devices = static_cast<int>(state.range(0));
    bench::SimulatedStation simulated(devices);
    SiteConfiguration site;
    if (!simulated.started() || !site.loadConfiguration()) {
        state.SkipWithError("the simulated station did not start");
        return;
    }
    double cpuSeconds = 0;
    for (auto _ : state) {
        CycleMeter meter(site.console);
        site.modeController.setTimeSource([&meter] { return meter.onPass(); });
        runMenuLoop(site, DataLoggingMode::DATALOG);
        if (!meter.measured()) {
            state.SkipWithError("the menu loop ended early");
            return;
        }
        state.SetIterationTime(meter.wallSeconds() / measuredCycles);
        cpuSeconds += meter.cpuSeconds();
    }
    const double cpuPerCycle =
        cpuSeconds / static_cast<double>(state.iterations() * measuredCycles);
    state.counters["devices"] = devices;
    state.counters["cpu_ms_per_cycle"] = cpuPerCycle * 1000;
    state.counters["cpu_pct_of_250ms"] = cpuPerCycle / cycleSeconds * 100;
}

BENCHMARK(BM_MenuCycleCpu)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace torven
