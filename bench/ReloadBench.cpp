// Rows lost to a configuration reload: a station of simulated devices collecting data with
// 1-second streams, the configuration given a comment line while it runs (a new file renamed
// over the old one) and reloaded as the main loop reloads it, between two passes. Every second
// from just before the reload to several seconds after it owes a row of every stream; the goal
// is that none is missing. The time measured is that of the reload itself.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "bench/SimulatedStation.h"
#include "config/SiteConfiguration.h"
#include "platform/ProgramLock.h"
#include "shell/MenuLoop.h"
#include "shell/Program.h"
#include "soak/SoakAnalysis.h"

namespace torven {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kDevices = 4;
constexpr std::int64_t kSecondsBefore = 3;
// Long enough for a device that the reload disconnected to be connected and read again.
constexpr std::int64_t kSecondsAfter = 6;
constexpr std::int64_t kMillisecondsPerSecond = 1000;
constexpr const char* kConfiguration = "Conf/TORVEN_config.txt";

std::int64_t passSecond(const ModeController& controller) {
    return controller.lastPassMilliseconds() / kMillisecondsPerSecond;
}

// Data-collection passes paced as the menu loop paces them, until a pass has read `second`.
void collectThrough(SiteConfiguration& site, std::int64_t second) {
    ModeController& controller = site.modeController;
    do {
        controller.step(site, DataLoggingMode::DATALOG);
        platform::sleepMilliseconds(
            cycleSleepMilliseconds(controller.lastPassMilliseconds(), controller.passClockNow()));
    } while (passSecond(controller) < second);
}

// The times of every row of every stream, from the data files of tmp/, Data/ and ToSend/.
std::map<std::string, std::set<std::int64_t>> rowTimes(const test::ScratchStation& station) {
    std::map<std::string, std::set<std::int64_t>> times;
    for (const char* folder : {"tmp", "Data", "ToSend"}) {
        for (const auto& entry : fs::directory_iterator(station.path(folder))) {
            const auto name = soak::parseDataFileName(entry.path().filename().string());
            if (!name)
                continue;
            const std::string relative =
                std::string(folder) + "/" + entry.path().filename().string();
            for (const soak::Row& row : soak::parseDataFile(station.readFile(relative)).rows)
                times[name->streamId].insert(row.time);
        }
    }
    return times;
}

// The rows of the configured streams missing at the seconds from `first` to `last`.
int missingRows(const test::ScratchStation& station, std::int64_t first, std::int64_t last) {
    const auto times = rowTimes(station);
    int missing = 0;
    for (int device = 1; device <= kDevices; ++device) {
        const auto found = times.find("BR" + std::to_string(device) + "_000123");
        for (std::int64_t second = first; second <= last; ++second) {
            if (found == times.end() || found->second.count(second) == 0)
                ++missing;
        }
    }
    return missing;
}

void BM_RowsLostPerReload(benchmark::State& state) {
    bench::SimulatedStation simulated(kDevices);
    const test::ScratchStation& station = simulated.station();
    SiteConfiguration site;
    if (!simulated.started() || !site.loadConfiguration()) {
        state.SkipWithError("the simulated station did not start");
        return;
    }
    std::string configuration = station.readFile(kConfiguration);
    // Entering data collection connects every device; rows follow from the next pass on.
    site.modeController.step(site, DataLoggingMode::DATALOG);
    int lost = 0;
    int due = 0;
    for (auto _ : state) {
        collectThrough(site, passSecond(site.modeController) + kSecondsBefore);
        const std::int64_t reloadSecond = passSecond(site.modeController);
        configuration += "# a comment added while collecting\n";
        station.writeFile(std::string(kConfiguration) + ".new", configuration);
        fs::rename(station.path(std::string(kConfiguration) + ".new"),
                   station.path(kConfiguration));
        const auto start = Clock::now();
        const bool reloaded = reloadConfiguration(site);
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!reloaded) {
            state.SkipWithError("the changed configuration was not reloaded");
            return;
        }
        collectThrough(site, reloadSecond + kSecondsAfter + 1);
        lost += missingRows(station, reloadSecond - 1, reloadSecond + kSecondsAfter);
        due += kDevices * static_cast<int>(kSecondsAfter + 2);
    }
    const auto reloads = static_cast<double>(state.iterations());
    state.counters["devices"] = kDevices;
    state.counters["rows_due_per_reload"] = due / reloads;
    state.counters["rows_lost_per_reload"] = lost / reloads;
}

BENCHMARK(BM_RowsLostPerReload)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace torven
