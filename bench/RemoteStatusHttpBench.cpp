// The time of a remote status request as a client on the same machine sees it: GET /metrics
// and GET / through the HTTP server on loopback, a new connection for each (the server closes
// every connection after its answer), from connecting to the last byte of the answer. The
// station has one device whose four channels are recorded every second; before every request
// the data writer writes the next second's row of each stream, under the program lock as a
// data-collection pass does.
//
// The streams' current files are new ("empty": the first row comes before the first request,
// so the files end at 2201 rows), or hold a whole day of 1-second rows ("full": 86400 rows at
// the last request), or one row in each plot bin before the last 2201 seconds of the day
// ("every_bin": every bin drawn, as on the full day, from 2669 rows). The first request on the
// full day is the one that reads the whole day for the page's plots; the steady requests after
// it must cost what they cost on a new file (x_empty_p50, x_empty_p99) or, as the page draws
// every bin of a full day, what they cost when every bin holds a row (x_every_bin_p50).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/LoopbackHttpClient.h"
#include "config/SiteConfiguration.h"
#include "platform/ProgramLock.h"
#include "platform/SystemClock.h"
#include "remote/DayBins.h"
#include "remote/RemoteStatusServer.h"
#include "soak/SoakAnalysis.h"
#include "support/FakeDevice.h"
#include "support/FakeStream.h"
#include "support/ScratchStation.h"
#include "time/TimeStamp.h"

namespace torven {
namespace {

using bench::LoopbackHttpClient;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t secondsPerDay = 86400;
constexpr int warmUpRequests = 200;
constexpr int measuredRequests = 2000;
// One row of every stream before each request: the first, the warm-up and the measured ones.
constexpr std::int64_t rowsWhileMeasured = 1 + warmUpRequests + measuredRequests;

// What the streams' files hold before the first request: rows `step` seconds apart from UTC
// midnight through the seconds of the day before the last rowsWhileMeasured.
struct DayBefore {
    std::int64_t seconds = 0;
    std::int64_t step = 1;

    std::int64_t rows() const { return (seconds + step - 1) / step; }
};

constexpr DayBefore emptyDay{0, 1};
constexpr DayBefore fullDay{secondsPerDay - rowsWhileMeasured, 1};
constexpr DayBefore everyBin{secondsPerDay - rowsWhileMeasured, DayBins::binSeconds};

// A station collecting data, its status served on a port of loopback the system chose.
class ServedStation {
  public:
    ServedStation(std::int64_t midnight, DayBefore before) : nextRowTime_(midnight) {
        station_.writeConfig("SITE = Hilltop\n");
        if (!site_.loadConfiguration())
            return;
        auto device = std::make_unique<test::FakeDevice>("COM3");
        device_ = device.get();
        device_->forceConnected(true);
        site_.modeController.devices.addDevice(std::move(device));
        for (std::int32_t channel = 1; channel <= test::FakeDevice::channels; ++channel) {
            auto stream =
                std::make_unique<test::FakeStream>("HT" + std::to_string(channel) + "_123456", 1);
            stream->bindChannel(*device_, channel);
            streams_.push_back(stream.get());
            site_.modeController.dataLogger.addType(std::move(stream));
        }
        if (before.seconds > 0) {
            writeRows();
            appendRows(before.rows() - 1, before.step);
            nextRowTime_ = midnight + before.seconds;
        }
        std::string problem;
        server_ = RemoteStatusServer::start(site_, {"127.0.0.1", 0, std::nullopt}, problem);
    }
    ServedStation(const ServedStation&) = delete;
    ServedStation& operator=(const ServedStation&) = delete;

    std::uint16_t port() const { return server_ ? server_->port() : 0; }

    // The next second's row of every stream, written by the data writer under the program
    // lock, which the server's requests take for their snapshots.
    void writeRows() {
        platform::ProgramLock::holding([this] {
            takeSample(nextRowTime_);
            site_.modeController.clock.setTo(nextRowTime_++);
            site_.modeController.dataLogger.writeTick(site_);
        });
    }

    // What the first stream's file holds, as the soak analysis reads data files.
    soak::DataFileContent firstStreamFile() const {
        return soak::parseDataFile(station_.readFile("tmp/" + streams_.front()->currentFileName()));
    }

  private:
    void takeSample(std::int64_t time) {
        device_->setReading(std::sin(static_cast<double>(time % secondsPerDay) / 3600.0) * 10.0);
        device_->readSample();
    }

    // The rows the writer writes, `step` seconds apart after its last one, put into the files
    // in one go: a day of rows through the writer, which opens and closes the files for each,
    // takes far longer than the measurement. The streams then go on as if they had written them.
    void appendRows(std::int64_t rows, std::int64_t step) {
        std::vector<std::string> texts(streams_.size());
        TimeStamp time;
        std::int64_t last = nextRowTime_ - 1;
        for (std::int64_t row = 0; row < rows; ++row) {
            last += step;
            takeSample(last);
            time.setTo(last);
            for (std::size_t index = 0; index < streams_.size(); ++index)
                texts[index] += time.dateTimeText() + ", " + streams_[index]->sampleText() + "\r\n";
        }
        for (std::size_t index = 0; index < streams_.size(); ++index) {
            test::FakeStream& stream = *streams_[index];
            for (const char* folder : {"tmp/", "Data/"}) {
                std::ofstream file(station_.path(folder + stream.currentFileName()),
                                   std::ios::binary | std::ios::app);
                file << texts[index];
            }
            stream.setCurrentFileBytes(
                std::filesystem::file_size(station_.path("tmp/" + stream.currentFileName())));
            stream.setLastRowTime(last);
            for (std::int64_t row = 0; row < rows; ++row)
                stream.countRowWritten();
        }
    }

    test::ScratchStation station_;
    SiteConfiguration site_;
    test::FakeDevice* device_ = nullptr;
    std::vector<test::FakeStream*> streams_;
    std::int64_t nextRowTime_;
    // Declared last: stopped first, before the site its requests read goes.
    std::unique_ptr<RemoteStatusServer> server_;
};

struct Timings {
    double firstSeconds = 0;
    std::vector<double> seconds;  // of the measured requests, sorted
    std::string problem;          // empty when every request was answered

    double percentile(double fraction) const {
        const auto rank =
            static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(seconds.size())));
        return seconds[std::max<std::size_t>(rank, 1) - 1];
    }
};

Timings failed(std::string problem) {
    return {.firstSeconds = 0, .seconds = {}, .problem = std::move(problem)};
}

// The page of a stream without a row today says so; one with rows has plots instead.
bool answerShowsRows(const std::string& path, const std::string& body) {
    return path != "/" || body.find("class=\"no-rows\"") == std::string::npos;
}

Timings timeRequests(const std::string& path, DayBefore before) {
    const std::int64_t now = platform::currentEpochSeconds();
    ServedStation served(now - now % secondsPerDay, before);
    if (served.port() == 0)
        return failed("no server on loopback");
    const LoopbackHttpClient client(served.port());
    Timings timings;
    for (int request = 0; request < rowsWhileMeasured; ++request) {
        served.writeRows();
        const Clock::time_point start = Clock::now();
        const std::optional<LoopbackHttpClient::Answer> answer = client.get(path);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!answer || answer->status != 200)
            return failed("no answer to GET " + path);
        if (request == 0 && !answerShowsRows(path, answer->body))
            return failed("no rows of today on the page");
        if (request == 0)
            timings.firstSeconds = seconds;
        else if (request > warmUpRequests)
            timings.seconds.push_back(seconds);
    }
    const soak::DataFileContent file = served.firstStreamFile();
    if (file.rows.size() != static_cast<std::size_t>(before.rows() + rowsWhileMeasured) ||
        file.malformedLines != 0)
        return failed("the data file is not as written");
    std::sort(timings.seconds.begin(), timings.seconds.end());
    return timings;
}

void BM_RemoteStatusHttp(benchmark::State& state, const std::string& path) {
    for (auto _ : state) {
        const Timings empty = timeRequests(path, emptyDay);
        const Timings bins = timeRequests(path, everyBin);
        const Timings full = timeRequests(path, fullDay);
        const std::string problem = empty.problem + bins.problem + full.problem;
        if (!problem.empty()) {
            state.SkipWithError(problem.c_str());
            return;
        }
        state.SetIterationTime(full.percentile(0.50));
        state.counters["empty_p50_us"] = empty.percentile(0.50) * 1e6;
        state.counters["empty_p99_us"] = empty.percentile(0.99) * 1e6;
        state.counters["full_p50_us"] = full.percentile(0.50) * 1e6;
        state.counters["full_p99_us"] = full.percentile(0.99) * 1e6;
        state.counters["x_empty_p50"] = full.percentile(0.50) / empty.percentile(0.50);
        state.counters["x_empty_p99"] = full.percentile(0.99) / empty.percentile(0.99);
        state.counters["x_every_bin_p50"] = full.percentile(0.50) / bins.percentile(0.50);
        state.counters["empty_first_ms"] = empty.firstSeconds * 1e3;
        state.counters["full_first_ms"] = full.firstSeconds * 1e3;
        state.counters["first_x_empty_p50"] = full.firstSeconds / empty.percentile(0.50);
    }
}

BENCHMARK_CAPTURE(BM_RemoteStatusHttp, metrics, std::string("/metrics"))
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RemoteStatusHttp, page, std::string("/"))
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace torven
