// The cost of a remote status request while the day's data file grows: reading what the file
// gained since the request before, and making the status page and the metrics text. A stream
// writing every second has 86400 rows by the end of a UTC day; a request then must cost what it
// cost on an empty file (compare the "steady" cases). The "first" case is the one-time
// read of the whole day when the plots start.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "remote/MetricsText.h"
#include "remote/PlotCache.h"
#include "remote/StatusPage.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

const std::string fileName = "20110504_000000_HT1_123456.csv";
constexpr std::int64_t noon = 1304510400;  // 2011-05-04 12:00:00 UTC
constexpr int secondsPerDay = 86400;

std::string rowAt(int second) {
    char row[64];
    std::snprintf(row, sizeof row, "2011-05-04 %02d:%02d:%02d, %+.3f\r\n", second / 3600,
                  second / 60 % 60, second % 60, (second % 3600) / 100.0);
    return row;
}

// A station with one logging stream whose current file holds `rows` rows of 2011-05-04,
// `step` seconds apart.
StatusSnapshot stationWithRows(const test::ScratchStation& station, int rows, int step = 1) {
    std::string content = "# Site = Hilltop\r\n# Longitude = 10.0\r\n# Latitude = 50.0\r\n#\r\n";
    for (int row = 0; row < rows; ++row)
        content += rowAt(row * step);
    station.writeFile("tmp/" + fileName, content);
    station.writeFile("Data/" + fileName, content);
    StatusSnapshot snapshot;
    snapshot.version = "0.40";
    snapshot.mode = "DATALOG";
    snapshot.site = "Hilltop";
    snapshot.lastPassTime = noon;
    snapshot.lastPassText = "2011-05-04 12:00:00";
    DeviceSnapshot device;
    device.port = "COM3";
    device.connectedPort = "COM3";
    device.typeName = "DI-194RS";
    device.connected = true;
    StreamSnapshot stream;
    stream.id = "HT1_123456";
    stream.typeName = "KORALI-VX";
    stream.status = "LOGGING";
    stream.sampleInterval = 1;
    stream.currentFileName = fileName;
    device.channels.push_back({1, 1.234, "+1.234", stream});
    snapshot.devices.push_back(device);
    return snapshot;
}

void BM_RemoteStatusSteady(benchmark::State& state, int rows, int step) {
    test::ScratchStation station;
    const StatusSnapshot snapshot = stationWithRows(station, rows, step);
    PlotCache cache("..\\tmp\\", "..\\Data\\");
    cache.update(snapshot, noon);
    std::ofstream file(station.path("tmp/" + fileName), std::ios::binary | std::ios::app);
    std::size_t bytes = 0;
    int second = 0;
    for (auto _ : state) {
        // One new row between requests, as a stream writing every second gives.
        state.PauseTiming();
        file << rowAt(second++ % secondsPerDay) << std::flush;
        state.ResumeTiming();
        const DayPlots plots = cache.update(snapshot, noon);
        bytes += statusPage(snapshot, plots).size() + metricsText(snapshot).size();
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["file_rows"] = rows;
}

void BM_RemoteStatusFirstRead(benchmark::State& state, int rows) {
    test::ScratchStation station;
    const StatusSnapshot snapshot = stationWithRows(station, rows);
    for (auto _ : state) {
        PlotCache cache("..\\tmp\\", "..\\Data\\");
        const DayPlots plots = cache.update(snapshot, noon);
        if (plots.at("HT1_123456").rows != static_cast<std::uint64_t>(rows))
            state.SkipWithError("rows not read");
        benchmark::DoNotOptimize(statusPage(snapshot, plots));
    }
    state.counters["file_rows"] = rows;
}

BENCHMARK_CAPTURE(BM_RemoteStatusSteady, empty, 0, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RemoteStatusSteady, full_day, secondsPerDay, 1)->Unit(benchmark::kMicrosecond);
// Every bin drawn, as on the full day, but from one row each: the difference between the empty
// and the full day is the drawing of the day's bins, not the number of rows.
BENCHMARK_CAPTURE(BM_RemoteStatusSteady, row_per_bin, static_cast<int>(DayBins::binCount),
                  static_cast<int>(DayBins::binSeconds))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RemoteStatusFirstRead, full_day, secondsPerDay)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace torven
