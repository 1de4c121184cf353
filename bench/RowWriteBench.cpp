// The cost of one data row as the file grows: a stream writing every second reaches about
// 2.6 MB by the end of a UTC day, and a row then must cost what it cost at the start.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "collection/DataLogger.h"
#include "config/SiteConfiguration.h"
#include "platform/TextFile.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

namespace fs = std::filesystem;

class BenchStream : public DataCollectionType {
  public:
    BenchStream() {
        setStreamId("HT1_123456");
        setSampleInterval(1);
    }
    std::string sampleText() const override { return "+1.234"; }
    bool isOnline() const override { return true; }
    std::string buildId() override { return id(); }
    std::string headerText(const SiteConfiguration&) const override {
        return "# Site = Hilltop\n# Longitude = 10.0\n# Latitude = 50.0\n#\n";
    }
    std::string typeName() const override { return "BENCH"; }
    void readSampleRate() override {}
    void registerKeywords() override {}
};

// 2011-05-03 00:00:00 UTC; the rows stay within that day, so they all go into one file.
constexpr std::int64_t dayStart = 1304380800;
constexpr std::int64_t secondsPerDay = 86400;
constexpr std::int64_t rowsBetweenResets = 1024;

// Grows the file and its Data copy alike to at least `size` bytes of rows.
void growTo(const std::string& name, std::uint64_t size) {
    std::string rows;
    while (rows.size() < size)
        rows += "2011-05-03 00:00:00, +1.234\n";
    platform::appendText("..\\tmp\\" + name, rows);
    platform::appendText("..\\Data\\" + name, rows);
}

void BM_RowWrite(benchmark::State& state, std::uint64_t startSize) {
    test::ScratchStation station;
    SiteConfiguration site;
    DataCollectionType* stream =
        site.modeController.dataLogger.addType(std::make_unique<BenchStream>());
    stream->setStatus(CollectionStatus::OnLine);
    site.modeController.clock.setTo(dayStart);
    site.modeController.dataLogger.writeTick(site);
    const std::string name = stream->dataFileName(site.modeController.clock);
    if (startSize > 0)
        growTo(name, startSize);
    const auto baseSize = fs::file_size(station.path("tmp/" + name));

    std::int64_t row = 0;
    for (auto _ : state) {
        site.modeController.clock.setTo(dayStart + 1 + row % (secondsPerDay - 1));
        site.modeController.dataLogger.writeTick(site);
        if (++row % rowsBetweenResets == 0) {
            // Keeps the file at the size under test however many rows are timed.
            state.PauseTiming();
            fs::resize_file(station.path("tmp/" + name), baseSize);
            fs::resize_file(station.path("Data/" + name), baseSize);
            state.ResumeTiming();
        }
    }
    if (stream->status() != CollectionStatus::Logging)
        state.SkipWithError("rows not written");
    state.counters["file_bytes"] = static_cast<double>(baseSize);
}

BENCHMARK_CAPTURE(BM_RowWrite, empty, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RowWrite, 2.6MB, 2'600'000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace torven
