#include "soak/SoakRun.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "di194rs-sim/Di194RsSimulator.h"
#include "soak/FakedTimeline.h"
#include "soak/MonitorEvents.h"
#include "soak/MonitorProcess.h"
#include "soak/MonitorTerminal.h"
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
// libfaketime, from the Debian package faketime, fakes the monitor's wall clock from a file
// that the run rewrites at every clock step; the monotonic clock and the files' times stay
// real, as when the system clock is set (faked file times would make the configuration look
// edited at every step). The library's variant for programs with threads.
constexpr const char* kFaketimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";
constexpr const char* kClockFile = "faketime.rc";
// From the monitor's start to data collection: loading the configuration and the five-second
// countdown. Places a scheduled midnight; the report tells when it came.
constexpr double kEstimatedStartSeconds = 5.5;
// Seconds of the monitor's clock next to a step that owe no row: the monitor may see the step
// a little before or after the run makes it.
constexpr int kStepSlack = 1;
// Seconds either side of calibration that owe no row: leaving data collection and entering it
// again take their time.
constexpr double kModeSlack = 2.0;
// The monitor's clock may differ this much from where the run put it (whole seconds, polling).
constexpr double kClockTolerance = 3.0;
constexpr std::int64_t kSecondsPerDay = 86400;

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

// "+N" or "-N", as libfaketime reads an offset in seconds from the real time.
std::string offsetText(std::int64_t offset) {
    return (offset < 0 ? "" : "+") + std::to_string(offset);
}

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

std::string clockText(double epoch) {
    return formatDateTime(static_cast<std::int64_t>(std::floor(epoch))).substr(11);
}

// The offset the monitor's clock starts with: none, or one that brings it to a UTC midnight
// the scheduled seconds after data collection began, counting the steps before then.
std::int64_t startOffset(const FaultSchedule& schedule, double now) {
    const auto midnightSecond = schedule.midnightSecond();
    if (!midnightSecond)
        return 0;
    int stepped = 0;
    for (const ClockStep& step : schedule.clockSteps()) {
        if (step.atSecond < *midnightSecond)
            stepped += step.seconds;
    }
    const double unshifted = now + kEstimatedStartSeconds + *midnightSecond + stepped;
    const std::int64_t midnight =
        (static_cast<std::int64_t>(std::floor(unshifted)) / kSecondsPerDay + 1) * kSecondsPerDay;
    return midnight - std::llround(unshifted);
}

// What the monitor runs with besides the usual: libfaketime and the file with its offset.
std::vector<std::string> faketimeEnvironment(const SoakStation& station) {
    std::vector<std::string> entries = {
        std::string("LD_PRELOAD=") + kFaketimeLibrary,
        "FAKETIME_TIMESTAMP_FILE=" + station.path(kClockFile).string(), "FAKETIME_NO_CACHE=1",
        "FAKETIME_DONT_FAKE_MONOTONIC=1", "NO_FAKE_STAT=1"};
    // A monitor built with AddressSanitizer must accept a library loaded before its runtime.
    const char* asan = std::getenv("ASAN_OPTIONS");
    entries.push_back("ASAN_OPTIONS=" + std::string(asan != nullptr ? asan : "") +
                      (asan != nullptr && *asan != '\0' ? ":" : "") + "verify_asan_link_order=0");
    return entries;
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

// The clock steps and folder outages of the schedule, made as their times come.
struct StationDriver {
    std::vector<ClockStep> steps;
    std::size_t nextStep = 0;
    std::vector<FolderOutage> outages;
    std::size_t nextAway = 0;
    std::vector<const FolderOutage*> away;  // taken away, not yet made again
    std::int64_t offset = 0;
};

void driveClock(StationDriver& driver, SoakStation& station, double now, double sinceStart,
                FakedTimeline& timeline, SoakResult& result) {
    while (driver.nextStep < driver.steps.size() &&
           driver.steps[driver.nextStep].atSecond <= sinceStart) {
        const ClockStep& step = driver.steps[driver.nextStep++];
        const double before = now + static_cast<double>(driver.offset);
        driver.offset += step.seconds;
        if (!station.replaceFile(kClockFile, offsetText(driver.offset))) {
            result.problems.push_back("cannot step the monitor's clock");
            continue;
        }
        timeline.step(now, driver.offset);
        result.events.push_back(
            {sinceStart, "clock " + offsetText(step.seconds) + " s: " + clockText(before) + " -> " +
                             clockText(now + static_cast<double>(driver.offset))});
    }
}

void driveFolders(StationDriver& driver, SoakStation& station, double sinceStart,
                  SoakResult& result) {
    std::string message;
    while (driver.nextAway < driver.outages.size() &&
           driver.outages[driver.nextAway].atSecond <= sinceStart) {
        const FolderOutage& outage = driver.outages[driver.nextAway++];
        if (!station.takeAway(outage.folder, message)) {
            result.problems.push_back(message);
            continue;
        }
        driver.away.push_back(&outage);
        result.events.push_back({sinceStart, outage.folder + " taken away"});
    }
    for (auto it = driver.away.begin(); it != driver.away.end();) {
        const FolderOutage& outage = **it;
        if (outage.atSecond + outage.seconds > sinceStart) {
            ++it;
            continue;
        }
        if (station.makeFolder(outage.folder, message)) {
            result.events.push_back({sinceStart, outage.folder + " made again, empty"});
        } else {
            result.problems.push_back(message);
        }
        it = driver.away.erase(it);
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
    std::vector<StreamFile> files;
    int shorterCopies = 0;
};

// The folders taken away during the run, under Removed/, whose name begins with `folder`.
std::vector<fs::path> removedFolders(const SoakStation& station, const std::string& folder) {
    std::vector<fs::path> folders;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(station.path("Removed"), error)) {
        if (entry.path().filename().string().rfind(folder + "-", 0) == 0)
            folders.push_back(entry.path());
    }
    return folders;
}

// Every data file: the current ones are in tmp/ with a copy in Data/, the finished ones in
// Data/ and ToSend/; folders taken away keep what they held then.
std::vector<FileCopy> readCopies(const SoakStation& station) {
    std::vector<FileCopy> copies;
    auto readFolder = [&copies](const fs::path& folder, bool live) {
        for (const fs::path& file : filesIn(folder)) {
            const std::string name = file.filename().string();
            if (parseDataFileName(name))
                copies.push_back({name, readWhole(file), live});
        }
    };
    for (const char* folder : {"tmp", "Data", "ToSend"})
        readFolder(station.path(folder), true);
    for (const char* folder : {"Data", "ToSend"}) {
        for (const fs::path& removed : removedFolders(station, folder))
            readFolder(removed, false);
    }
    return copies;
}

std::map<std::string, StreamFiles> readDataFiles(const SoakStation& station) {
    const ChosenCopies chosen = chooseCopies(readCopies(station));
    std::map<std::string, StreamFiles> streams;
    for (const auto& [name, content] : chosen.contents) {
        const auto parsed = parseDataFileName(name);
        StreamFiles& stream = streams[parsed->streamId];
        stream.files.push_back({*parsed, parseDataFile(content)});
        if (chosen.replacedByShorter.count(name) > 0)
            ++stream.shorterCopies;
    }
    return streams;
}

void countHandOver(const SoakStation& station, SoakResult& result) {
    for (const fs::path& file : filesIn(station.path("tmp"))) {
        if (parseDataFileName(file.filename().string()))
            ++result.filesLeftInTmp;
    }
    // A file handed over before ToSend was taken away went with it.
    std::vector<fs::path> toSendFolders = removedFolders(station, "ToSend");
    toSendFolders.push_back(station.path("ToSend"));
    for (const fs::path& file : filesIn(station.path("Data"))) {
        if (!parseDataFileName(file.filename().string()))
            continue;
        const std::string content = readWhole(file);
        const bool sent =
            std::any_of(toSendFolders.begin(), toSendFolders.end(), [&](const fs::path& folder) {
                const fs::path copy = folder / file.filename();
                return fs::exists(copy) && readWhole(copy) == content;
            });
        if (!sent)
            ++result.filesMissingFromToSend;
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

// libfaketime keeps a shared memory segment and a semaphore per process under /dev/shm and
// leaves them behind when the monitor ends; a later process of the same number would fail.
void removeFaketimeLeftovers(int pid) {
    std::error_code ignored;
    fs::remove("/dev/shm/faketime_shm_" + std::to_string(pid), ignored);
    fs::remove("/dev/shm/sem.faketime_sem_" + std::to_string(pid), ignored);
}

// The monitor under libfaketime, its clock starting at `offset` from the real time, on its
// own terminal.
std::unique_ptr<MonitorProcess> startMonitor(const SoakOptions& options, const SoakStation& station,
                                             std::int64_t offset, const MonitorTerminal& terminal,
                                             std::string& message) {
    if (access(kFaketimeLibrary, R_OK) != 0) {
        message = std::string("cannot find ") + kFaketimeLibrary + " (Debian package faketime)";
        return nullptr;
    }
    if (!station.replaceFile(kClockFile, offsetText(offset))) {
        message = "cannot write the monitor's clock offset";
        return nullptr;
    }
    return MonitorProcess::start(options.monitor, station.path("bin"),
                                 station.path("monitor-stderr.txt"), faketimeEnvironment(station),
                                 terminal.programSide(), message);
}

// The monitor logged the start of data collection in its own clock: far from where the run
// put that clock, libfaketime is not at work and the clock steps would not reach it.
void checkFakedClock(SoakResult& result, double seenAt) {
    const double expected = seenAt + static_cast<double>(result.startOffset);
    if (std::abs(static_cast<double>(result.collectionStart) - expected) > kClockTolerance) {
        result.problems.push_back(
            "the monitor's clock does not follow the offset file (began "
            "collecting at " +
            formatDateTime(result.collectionStart) + ", expected about " +
            formatDateTime(static_cast<std::int64_t>(expected)) + ")");
    }
}

// What the run saw while it went on.
struct Observation {
    double collectionBegan = 0.0;  // when the tool saw data collection begin (epoch)
    double stopped = 0.0;          // when it sent SIGINT (epoch)
    FakedTimeline timeline{0};
    std::vector<Flapper> flappers;
    std::vector<std::string> watchedIds;
    const RowWatcher* watcher = nullptr;
    const MonitorEvents* monitorEvents = nullptr;
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

// The real times over which rows are counted: from kSettleSeconds after data collection
// began, or from the first row of any stream when that is later (the first pass connects every
// device, which takes its time, and only then are rows written at all; the first row comes
// before any clock step), to kTailSeconds before the stop.
struct CountSpan {
    double from = 0.0;
    double to = 0.0;
};

CountSpan countSpan(const std::map<std::string, StreamFiles>& files, const Observation& seen,
                    SoakResult& result) {
    for (const auto& [id, stream] : files) {
        for (const StreamFile& file : stream.files) {
            for (const Row& row : file.content.rows)
                result.firstRow = std::min(result.firstRow.value_or(row.time), row.time);
        }
    }
    CountSpan span;
    span.from = seen.collectionBegan + kSettleSeconds;
    if (result.firstRow)
        span.from = std::max(span.from, static_cast<double>(*result.firstRow - result.startOffset));
    span.to = std::floor(seen.stopped) - kTailSeconds;
    return span;
}

// Calibration, with its slack: no rows are owed while the monitor is out of data collection.
std::vector<RealSpan> stationSpans(const Observation& seen) {
    std::vector<RealSpan> spans;
    for (const RealSpan& spell : seen.monitorEvents->calibrationSpans())
        spans.push_back({spell.from - kModeSlack, spell.to + kModeSlack});
    return spans;
}

// The device's own silences, with the time it may take to come back after each.
std::vector<RealSpan> deviceSpans(const Observation& seen, int device) {
    std::vector<RealSpan> spans;
    for (const RealSpan& silence : seen.monitorEvents->silentSpans(device))
        spans.push_back(
            {silence.from - kStepSlack, silence.to + kRecoveryGoalSeconds + kStepSlack});
    return spans;
}

// The spans that owe no row, among the events, so that the report tells why rows were not due.
void addNotOwedEvents(const Observation& seen, SoakResult& result) {
    const auto since = [&seen](double t) { return t - seen.collectionBegan; };
    for (const RealSpan& span : stationSpans(seen)) {
        result.events.push_back({since(span.from), "no rows owed until +" +
                                                       formatSeconds(since(span.to)) +
                                                       " s (calibration and its slack)"});
    }
    for (int device = 1; device <= seen.monitorEvents->deviceCount(); ++device) {
        for (const RealSpan& span : deviceSpans(seen, device)) {
            result.events.push_back({since(span.from), "device " + std::to_string(device) +
                                                           ": no rows owed until +" +
                                                           formatSeconds(since(span.to)) + " s"});
        }
    }
}

// The row intervals worth measuring lie between the clock steps (after a step back the monitor
// rightly writes nothing until its clock is past its last row again) and outside the spans
// that owe no row.
double worstRowInterval(const std::vector<double>& growths, CountSpan span,
                        const FaultSchedule& schedule, const Observation& seen,
                        std::vector<RealSpan> spans) {
    for (const ClockStep& step : schedule.clockSteps()) {
        const double at = seen.collectionBegan + step.atSecond;
        spans.push_back({at - kStepSlack, at + std::max(0, -step.seconds) + kStepSlack + 1});
    }
    return worstIntervalOutside(growths, span.from, span.to, std::move(spans)).value_or(0.0);
}

void analyse(const SoakStation& station, const SoakPlan& plan, const FaultSchedule& schedule,
             const Observation& seen, SoakResult& result) {
    std::map<std::string, StreamFiles> files = readDataFiles(station);
    const CountSpan span = countSpan(files, seen, result);
    const std::vector<LivedSecond> lived =
        seen.timeline.firstLived(seen.collectionBegan, span.from, span.to, kStepSlack);
    const std::vector<RealSpan> notOwed = stationSpans(seen);
    const std::vector<std::int64_t> counted = secondsOutside(lived, notOwed);
    if (counted.empty()) {
        result.problems.push_back("the run was too short to count rows");
    } else {
        result.firstCounted = counted.front();
        result.lastCounted = counted.back();
        result.countedSeconds = static_cast<int>(counted.size());
    }
    for (const StreamPlan& stream : plan.streams()) {
        StreamResult streamResult;
        streamResult.plan = stream;
        streamResult.healthy = schedule.healthy(stream.device);
        const StreamFiles& found = files[stream.streamId];
        streamResult.files = static_cast<int>(found.files.size());
        std::vector<RealSpan> streamNotOwed = deviceSpans(seen, stream.device);
        streamNotOwed.insert(streamNotOwed.end(), notOwed.begin(), notOwed.end());
        streamResult.figures =
            analyseStream(found.files, stream.sampleInterval, secondsOutside(lived, streamNotOwed),
                          stream.valueText);
        streamResult.figures.shorterCopies = found.shorterCopies;
        if (streamResult.healthy && stream.sampleInterval == 1) {
            const double worst = worstRowInterval(growthsOf(seen, stream.streamId), span, schedule,
                                                  seen, streamNotOwed);
            if (worst > 0.0)
                streamResult.worstRowIntervalMs = worst * 1000.0;
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
                                  seen.monitorEvents->dropped(device) ? std::string("dropped")
                                                                      : schedule.describe(device),
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
             SoakStation& station, StationDriver& driver, StopSignals& signals, RowWatcher& watcher,
             const MonitorTerminal& terminal, MonitorEvents& monitorEvents, Observation& seen,
             SoakResult& result) {
    result.startFigures = ProcessFigures::sample(monitor.pid());
    const double end = seen.collectionBegan + options.seconds;
    for (double now = epochNow(); now < end; now = epochNow()) {
        driveFlappers(seen.flappers, simulators, now - seen.collectionBegan, result.problems);
        driveClock(driver, station, now, now - seen.collectionBegan, seen.timeline, result);
        driveFolders(driver, station, now - seen.collectionBegan, result);
        monitorEvents.drive(now, now - seen.collectionBegan, station, terminal, simulators,
                            result.events, result.problems);
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
    monitorEvents.finish(seen.stopped);
    result.measuredSeconds = seen.stopped - seen.collectionBegan;
    monitor.interrupt();
    if (!monitor.waitForExit(kStopLimit)) {
        result.problems.push_back("the monitor did not end within " +
                                  std::to_string(std::chrono::seconds(kStopLimit).count()) +
                                  " s of SIGINT");
    }
    watcher.poll(epochNow());
    removeFaketimeLeftovers(monitor.pid());
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
    const auto station = SoakStation::create(options.keep, schedule.dataOnTmpfs(), message);
    if (!station)
        return std::nullopt;
    if (!station->writeFile("Conf/TORVEN_config.txt", plan.configurationText())) {
        message = "cannot write the configuration file";
        return std::nullopt;
    }
    Simulators simulators;
    if (!startSimulators(plan, schedule, *station, simulators, message))
        return std::nullopt;
    StationDriver driver{schedule.clockSteps(),
                         0,
                         schedule.folderOutages(),
                         0,
                         {},
                         startOffset(schedule, epochNow())};
    const auto terminal = MonitorTerminal::open(message);
    if (!terminal)
        return std::nullopt;
    const auto monitor = startMonitor(options, *station, driver.offset, *terminal, message);
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
    result.startOffset = driver.offset;
    Observation seen;
    seen.collectionBegan = epochNow();
    seen.timeline = FakedTimeline(driver.offset);
    checkFakedClock(result, seen.collectionBegan);
    seen.flappers = flappersOf(schedule);
    seen.watchedIds = everySecondStreams(plan);
    RowWatcher watcher(station->path("tmp"), seen.watchedIds);
    seen.watcher = &watcher;
    MonitorEvents monitorEvents(schedule, plan.configurationText());
    seen.monitorEvents = &monitorEvents;
    collect(options, *monitor, simulators, *station, driver, signals, watcher, *terminal,
            monitorEvents, seen, result);
    addNotOwedEvents(seen, result);
    for (double midnight : seen.timeline.midnights(seen.collectionBegan, seen.stopped))
        result.events.push_back(
            {midnight - seen.collectionBegan, "UTC midnight of the monitor's clock"});
    std::stable_sort(
        result.events.begin(), result.events.end(),
        [](const StationEvent& a, const StationEvent& b) { return a.atSecond < b.atSecond; });
    analyse(*station, plan, schedule, seen, result);
    return result;
}

}  // namespace torven::soak
