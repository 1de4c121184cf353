#include "soak/SoakRun.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "di194rs-sim/Di194RsSimulator.h"
#include "soak/MonitorProcess.h"
#include "soak/RowWatcher.h"
#include "soak/SoakStation.h"
#include "soak/StopSignals.h"

namespace torven::soak {

namespace fs = std::filesystem;
using Simulator = sim::Di194RsSimulator;
using namespace std::chrono_literals;

namespace {

constexpr auto kPollInterval = 10ms;
// Configuration load plus the five-second countdown, with room for a loaded machine.
constexpr auto kStartLimit = 60s;
// The orderly end hands every file over and flashes the screen for 0.6 s.
constexpr auto kStopLimit = 30s;
// Rows are counted from this long after data collection began (devices are connected and the
// first passes are through) to this long before the stop.
constexpr int kSettleSeconds = 10;
constexpr int kTailSeconds = 5;
constexpr int kOrderlyExitStatus = 255;
// A device plugged back in should give its next row within this time.
constexpr double kRecoveryGoalSeconds = 5.0;

double epochNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error))
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The lines of every event log file, in file order, without their line ends.
std::vector<std::string> eventLogLines(const SoakStation& station) {
    std::vector<std::string> lines;
    for (const fs::path& file : filesIn(station.path("EventLog"))) {
        std::istringstream content(readWhole(file));
        for (std::string line; std::getline(content, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
    }
    return lines;
}

std::optional<std::int64_t> collectionStartTime(const SoakStation& station) {
    for (const std::string& line : eventLogLines(station)) {
        const auto entry = parseEventLogLine(line);
        if (entry && entry->message == "Entering Data Collection Mode")
            return entry->time;
    }
    return std::nullopt;
}

Simulator::Fault simulatorFault(FaultKind kind) {
    switch (kind) {
        case FaultKind::Silent:
            return Simulator::Fault::Silent;
        case FaultKind::NoFrameStart:
            return Simulator::Fault::NoFrameStart;
        case FaultKind::WrongNzReply:
            return Simulator::Fault::WrongNzReply;
        case FaultKind::None:
        case FaultKind::Flap:
            break;
    }
    return Simulator::Fault::None;
}

using Simulators = std::vector<std::unique_ptr<Simulator>>;

bool startSimulators(const SoakPlan& plan, const FaultSchedule& schedule,
                     const SoakStation& station, Simulators& simulators, std::string& message) {
    for (int device = 1; device <= plan.deviceCount(); ++device) {
        auto simulator = std::make_unique<Simulator>(station.portLink(device));
        for (int channel = 1; channel <= 4; ++channel) {
            sim::ChannelSignal signal;
            signal.volts = SoakPlan::channelVolts(device, channel);
            simulator->setSignal(channel, signal);
        }
        simulator->setFault(simulatorFault(schedule.fault(device).kind));
        if (!simulator->start()) {
            message = "cannot start the simulator of device " + std::to_string(device);
            return false;
        }
        simulators.push_back(std::move(simulator));
    }
    return true;
}

// A device that is unplugged and plugged back in on its schedule.
struct Flapper {
    int device = 0;
    int seconds = 0;
    bool plugged = true;
    std::vector<double> plugTimes;    // seconds since the epoch
    std::vector<double> unplugTimes;  // likewise
};

std::vector<Flapper> flappersOf(const FaultSchedule& schedule) {
    std::vector<Flapper> flappers;
    for (int device = 1; device <= schedule.deviceCount(); ++device) {
        const DeviceFault& fault = schedule.fault(device);
        if (fault.kind == FaultKind::Flap)
            flappers.push_back({device, fault.flapSeconds, true, {}, {}});
    }
    return flappers;
}

void driveFlappers(std::vector<Flapper>& flappers, Simulators& simulators, double sinceStart,
                   std::vector<std::string>& problems) {
    for (Flapper& flapper : flappers) {
        const bool wanted = FaultSchedule::plugged(sinceStart, flapper.seconds);
        if (wanted == flapper.plugged)
            continue;
        Simulator& simulator = *simulators.at(flapper.device - 1);
        if (wanted) {
            if (!simulator.plug()) {
                problems.push_back("cannot plug device " + std::to_string(flapper.device) +
                                   " back in");
            }
            flapper.plugTimes.push_back(epochNow());
        } else {
            simulator.unplug();
            flapper.unplugTimes.push_back(epochNow());
        }
        flapper.plugged = wanted;
    }
}

// The rate-1 stream of every device, whose file grows once a second while the device runs.
std::vector<std::string> everySecondStreams(const SoakPlan& plan) {
    std::vector<std::string> ids;
    for (const StreamPlan& stream : plan.streams()) {
        if (stream.sampleInterval == 1)
            ids.push_back(stream.streamId);
    }
    return ids;
}

// Waits until the monitor has logged the start of data collection; its time, or none with the
// reason.
std::optional<std::int64_t> awaitCollection(const SoakStation& station, MonitorProcess& monitor,
                                            StopSignals& signals, std::string& message) {
    const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const auto start = collectionStartTime(station))
            return start;
        if (!monitor.running()) {
            message = "the monitor ended before it began collecting data (" +
                      monitor.ending().value_or("?") + ")";
            return std::nullopt;
        }
        if (signals.waitFor(kPollInterval)) {
            message = "interrupted before data collection began";
            return std::nullopt;
        }
    }
    message = "the monitor did not begin collecting data within " +
              std::to_string(std::chrono::seconds(kStartLimit).count()) + " s";
    return std::nullopt;
}

struct StreamFiles {
    std::vector<Row> rows;
    int malformedLines = 0;
    int files = 0;
};

std::map<std::string, StreamFiles> readDataFiles(const SoakStation& station) {
    std::map<std::string, StreamFiles> streams;
    for (const fs::path& file : filesIn(station.path("Data"))) {
        const auto name = parseDataFileName(file.filename().string());
        if (!name)
            continue;
        DataFileContent content = parseDataFile(readWhole(file));
        StreamFiles& stream = streams[name->streamId];
        stream.files += 1;
        stream.malformedLines += content.malformedLines;
        for (Row& row : content.rows)
            stream.rows.push_back(std::move(row));
    }
    return streams;
}

void countHandOver(const SoakStation& station, SoakResult& result) {
    for (const fs::path& file : filesIn(station.path("tmp"))) {
        if (parseDataFileName(file.filename().string()))
            ++result.filesLeftInTmp;
    }
    for (const fs::path& file : filesIn(station.path("Data"))) {
        if (!parseDataFileName(file.filename().string()))
            continue;
        const fs::path copy = station.path("ToSend") / file.filename();
        if (!fs::exists(copy) || readWhole(copy) != readWhole(file)) {
            ++result.filesMissingFromToSend;
        }
    }
}

void readEventLog(const SoakStation& station, SoakResult& result,
                  std::map<std::string, int>& returnedByPort) {
    for (const fs::path& file : filesIn(station.path("EventLog"))) {
        std::error_code error;
        result.eventLogBytes += fs::file_size(file, error);
    }
    for (const std::string& line : eventLogLines(station)) {
        ++result.eventLogLines;
        const auto entry = parseEventLogLine(line);
        if (!entry)
            continue;
        if (const auto port = returnedOnlinePort(entry->message))
            ++returnedByPort[*port];
    }
}

// What the run saw while it went on.
struct Observation {
    double collectionBegan = 0.0;  // when the tool saw data collection begin (epoch)
    double stopped = 0.0;          // when it sent SIGINT (epoch)
    std::vector<Flapper> flappers;
    std::vector<std::string> watchedIds;
    const RowWatcher* watcher = nullptr;
};

const std::vector<double>& growthsOf(const Observation& seen, const std::string& streamId) {
    const auto at = std::find(seen.watchedIds.begin(), seen.watchedIds.end(), streamId);
    return seen.watcher->growths(static_cast<std::size_t>(at - seen.watchedIds.begin()));
}

std::vector<FlapRecovery> recoveriesOf(const Flapper& flapper, const Observation& seen,
                                       const std::vector<double>& growths) {
    std::vector<FlapRecovery> recoveries;
    for (double plug : flapper.plugTimes) {
        const auto unplug = std::find_if(flapper.unplugTimes.begin(), flapper.unplugTimes.end(),
                                         [plug](double t) { return t > plug; });
        const bool lastPlug = unplug == flapper.unplugTimes.end();
        const double until = lastPlug ? seen.stopped : *unplug;
        // A plug-back too close to the stop cannot show whether the goal was met.
        if (lastPlug && until - plug < kRecoveryGoalSeconds)
            continue;
        const auto row = firstGrowthAfter(growths, plug, until);
        FlapRecovery recovery{plug - seen.collectionBegan, std::nullopt};
        if (row)
            recovery.msToRow = (*row - plug) * 1000.0;
        recoveries.push_back(recovery);
    }
    return recoveries;
}

// Rows are counted from kSettleSeconds after data collection began, or from the first row of
// any stream when that is later: the first pass connects every device, which takes its time,
// and only then are rows written at all. The count ends kTailSeconds before the stop.
void setWindow(const std::map<std::string, StreamFiles>& files, const Observation& seen,
               SoakResult& result) {
    for (const auto& [id, stream] : files) {
        for (const Row& row : stream.rows) {
            result.firstRow = std::min(result.firstRow.value_or(row.time), row.time);
        }
    }
    result.window.first = std::max(result.collectionStart + kSettleSeconds,
                                   result.firstRow.value_or(result.collectionStart));
    result.window.last = static_cast<std::int64_t>(std::floor(seen.stopped)) - kTailSeconds;
    if (result.window.last < result.window.first) {
        result.problems.push_back("the run was too short to count rows");
    }
}

void analyse(const SoakStation& station, const SoakPlan& plan, const FaultSchedule& schedule,
             const Observation& seen, SoakResult& result) {
    std::map<std::string, StreamFiles> files = readDataFiles(station);
    setWindow(files, seen, result);
    for (const StreamPlan& stream : plan.streams()) {
        StreamResult streamResult;
        streamResult.plan = stream;
        streamResult.healthy = schedule.healthy(stream.device);
        StreamFiles& found = files[stream.streamId];
        streamResult.files = found.files;
        streamResult.figures = analyseStream(std::move(found.rows), stream.sampleInterval,
                                             result.window, stream.valueText, found.malformedLines);
        if (streamResult.healthy && stream.sampleInterval == 1) {
            const auto worst = worstInterval(growthsOf(seen, stream.streamId),
                                             static_cast<double>(result.window.first),
                                             static_cast<double>(result.window.last + 1));
            if (worst)
                streamResult.worstRowIntervalMs = *worst * 1000.0;
        }
        result.streams.push_back(std::move(streamResult));
    }
    for (const auto& [id, stream] : files) {
        const bool planned =
            std::any_of(plan.streams().begin(), plan.streams().end(),
                        [&streamId = id](const StreamPlan& p) { return p.streamId == streamId; });
        if (!planned)
            result.problems.push_back("data files of an unknown stream " + id);
    }
    std::map<std::string, int> returnedByPort;
    readEventLog(station, result, returnedByPort);
    countHandOver(station, result);
    for (int device = 1; device <= plan.deviceCount(); ++device) {
        DeviceResult deviceResult{device,
                                  schedule.describe(device),
                                  schedule.healthy(device),
                                  returnedByPort[SoakPlan::portName(device)],
                                  {}};
        for (const Flapper& flapper : seen.flappers) {
            if (flapper.device != device)
                continue;
            const std::string firstStream = plan.streams().at((device - 1) * 4).streamId;
            deviceResult.recoveries = recoveriesOf(flapper, seen, growthsOf(seen, firstStream));
        }
        result.deviceResults.push_back(std::move(deviceResult));
    }
    if (result.filesLeftInTmp > 0) {
        result.problems.push_back(std::to_string(result.filesLeftInTmp) +
                                  " data file(s) left in tmp/ after the stop");
    }
    if (result.filesMissingFromToSend > 0) {
        result.problems.push_back(std::to_string(result.filesMissingFromToSend) +
                                  " data file(s) without an identical copy in ToSend/");
    }
}

// Runs data collection for the set time while the faults are driven and the files watched;
// ends with the monitor stopped.
void collect(const SoakOptions& options, MonitorProcess& monitor, Simulators& simulators,
             StopSignals& signals, RowWatcher& watcher, Observation& seen, SoakResult& result) {
    result.startFigures = ProcessFigures::sample(monitor.pid());
    const double end = seen.collectionBegan + options.seconds;
    for (double now = epochNow(); now < end; now = epochNow()) {
        driveFlappers(seen.flappers, simulators, now - seen.collectionBegan, result.problems);
        watcher.poll(now);
        if (!monitor.running()) {
            result.problems.push_back("the monitor ended during the run (" +
                                      monitor.ending().value_or("?") + ")");
            break;
        }
        if (signals.waitFor(kPollInterval)) {
            result.problems.push_back("the run was interrupted");
            break;
        }
    }
    result.endFigures = ProcessFigures::sample(monitor.pid());
    seen.stopped = epochNow();
    result.measuredSeconds = seen.stopped - seen.collectionBegan;
    monitor.interrupt();
    if (!monitor.waitForExit(kStopLimit)) {
        result.problems.push_back("the monitor did not end within " +
                                  std::to_string(std::chrono::seconds(kStopLimit).count()) +
                                  " s of SIGINT");
    }
    watcher.poll(epochNow());
    result.monitorEnding = monitor.ending().value_or("still running, killed");
    if (monitor.exitStatus() != kOrderlyExitStatus) {
        result.problems.push_back("the monitor did not end in order (" + result.monitorEnding +
                                  ")");
    }
}

}  // namespace

bool SoakResult::healthyComplete() const {
    return std::all_of(streams.begin(), streams.end(), [](const StreamResult& s) {
        return !s.healthy || s.figures.missing() == 0;
    });
}

double SoakResult::minHealthyCompleteness() const {
    double least = 100.0;
    for (const StreamResult& stream : streams) {
        if (stream.healthy)
            least = std::min(least, stream.figures.completeness());
    }
    return least;
}

int SoakResult::healthyRowsWritten() const {
    int written = 0;
    for (const StreamResult& stream : streams)
        written += stream.healthy ? stream.figures.written : 0;
    return written;
}

int SoakResult::healthyRowsDue() const {
    int due = 0;
    for (const StreamResult& stream : streams)
        due += stream.healthy ? stream.figures.due : 0;
    return due;
}

bool SoakResult::rowsSound() const {
    return std::all_of(streams.begin(), streams.end(),
                       [](const StreamResult& s) { return s.figures.rowsSound(); });
}

std::optional<double> SoakResult::worstRowIntervalMs() const {
    std::optional<double> worst;
    for (const StreamResult& stream : streams) {
        if (stream.worstRowIntervalMs) {
            worst = std::max(worst.value_or(0.0), *stream.worstRowIntervalMs);
        }
    }
    return worst;
}

bool SoakResult::passed() const {
    return healthyComplete() && rowsSound() && problems.empty();
}

std::optional<SoakResult> runSoak(const SoakOptions& options, const FaultSchedule& schedule,
                                  StopSignals& signals, std::string& message) {
    const SoakPlan plan(options.devices);
    const auto station = SoakStation::create(options.keep, message);
    if (!station)
        return std::nullopt;
    if (!station->writeFile("Conf/TORVEN_config.txt", plan.configurationText())) {
        message = "cannot write the configuration file";
        return std::nullopt;
    }
    Simulators simulators;
    if (!startSimulators(plan, schedule, *station, simulators, message))
        return std::nullopt;
    const auto monitor = MonitorProcess::start(options.monitor, station->path("bin"),
                                               station->path("monitor-stderr.txt"), message);
    if (!monitor)
        return std::nullopt;
    const auto collectionStart = awaitCollection(*station, *monitor, signals, message);
    if (!collectionStart)
        return std::nullopt;

    SoakResult result;
    result.devices = options.devices;
    result.seconds = options.seconds;
    result.schedule = options.schedule;
    result.station = station->root();
    result.stationKept = options.keep;
    result.collectionStart = *collectionStart;
    Observation seen;
    seen.collectionBegan = epochNow();
    seen.flappers = flappersOf(schedule);
    seen.watchedIds = everySecondStreams(plan);
    RowWatcher watcher(station->path("tmp"), seen.watchedIds);
    seen.watcher = &watcher;
    collect(options, *monitor, simulators, signals, watcher, seen, result);
    analyse(*station, plan, schedule, seen, result);
    return result;
}

}  // namespace torven::soak
