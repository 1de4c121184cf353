#include "soak/MonitorEvents.h"

#include <algorithm>

#include "soak/MonitorTerminal.h"
#include "soak/SoakStation.h"

namespace torven::soak {

namespace {

using Simulator = sim::Di194RsSimulator;

constexpr const char* kEscape = "\x1b";
constexpr const char* kConfigurationFile = "Conf/TORVEN_config.txt";
// After the monitor has read a key it waits up to 50 ms for the rest of an escape sequence;
// the next key comes well after that, so that Escape and a letter are never read as one.
constexpr double kKeyGapSeconds = 0.3;

std::string deviceList(const std::vector<int>& devices) {
    std::string text;
    for (int device : devices)
        text += (text.empty() ? "" : ", ") + std::to_string(device);
    return text;
}

std::string secondsText(int seconds) {
    return std::to_string(seconds) + " s";
}

}  // namespace

MonitorEvents::MonitorEvents(const FaultSchedule& schedule, std::string configuration)
    : deviceCount_(schedule.deviceCount()),
      reloads_(schedule.reloads()),
      configuration_(std::move(configuration)),
      drops_(schedule.drops()) {
    for (const PortScan& scan : schedule.scans()) {
        presses_.push_back({static_cast<double>(scan.atSecond), kEscape, "", Mark::None});
        presses_.push_back({static_cast<double>(scan.atSecond), "S",
                            "Escape S: port scan" +
                                std::string(scan.keySeconds ? "" : ", its result left standing"),
                            Mark::None});
        if (scan.keySeconds) {
            presses_.push_back({static_cast<double>(scan.atSecond + *scan.keySeconds), " ",
                                "a key leaves the scan's result", Mark::None});
        }
    }
    for (const CalibrationSpell& spell : schedule.calibrations()) {
        const auto back = static_cast<double>(spell.atSecond + spell.seconds);
        presses_.push_back(
            {static_cast<double>(spell.atSecond), kEscape, "", Mark::CalibrationBegins});
        presses_.push_back({static_cast<double>(spell.atSecond), "C",
                            "Escape C: calibration for " + secondsText(spell.seconds), Mark::None});
        presses_.push_back({back, kEscape, "", Mark::None});
        presses_.push_back({back, "D", "Escape D: data collection", Mark::CalibrationEnds});
    }
    // The schedule keeps the choices apart, so their keys stay in order.
    std::stable_sort(presses_.begin(), presses_.end(),
                     [](const KeyPress& a, const KeyPress& b) { return a.atSecond < b.atSecond; });
}

void MonitorEvents::drive(double now, double sinceStart, const SoakStation& station,
                          const MonitorTerminal& terminal,
                          std::vector<std::unique_ptr<Simulator>>& simulators,
                          std::vector<StationEvent>& events, std::vector<std::string>& problems) {
    driveReloads(sinceStart, station, events, problems);
    driveKeys(now, sinceStart, terminal, events, problems);
    driveDrops(now, sinceStart, simulators, events);
}

// The file is written whole under another name and renamed over the old one, as an editor
// that saves safely does, so the monitor never reads half of it.
void MonitorEvents::driveReloads(double sinceStart, const SoakStation& station,
                                 std::vector<StationEvent>& events,
                                 std::vector<std::string>& problems) {
    while (nextReload_ < reloads_.size() && reloads_[nextReload_] <= sinceStart) {
        ++nextReload_;
        configuration_ += "# edited " + std::to_string(nextReload_) + " time(s) while running\n";
        if (!station.replaceFile(kConfigurationFile, configuration_)) {
            problems.push_back("cannot rewrite the configuration");
            continue;
        }
        events.push_back({sinceStart, "configuration rewritten with a comment line added"});
    }
}

// A key is typed at its time once the monitor has read the key before it, and a little later.
void MonitorEvents::driveKeys(double now, double sinceStart, const MonitorTerminal& terminal,
                              std::vector<StationEvent>& events,
                              std::vector<std::string>& problems) {
    if (awaitingRead_) {
        if (terminal.unread() > 0)
            return;
        awaitingRead_ = false;
        lastRead_ = now;
        if (presses_[nextPress_ - 1].mark == Mark::CalibrationEnds && !calibrationSpans_.empty())
            calibrationSpans_.back().to = now;
    }
    if (nextPress_ >= presses_.size() || presses_[nextPress_].atSecond > sinceStart ||
        now < lastRead_ + kKeyGapSeconds) {
        return;
    }
    const KeyPress& press = presses_[nextPress_++];
    if (!terminal.type(press.bytes)) {
        problems.push_back("cannot type on the monitor's terminal");
        return;
    }
    awaitingRead_ = true;
    if (press.mark == Mark::CalibrationBegins)
        calibrationSpans_.push_back({now, 0.0});
    if (!press.what.empty())
        events.push_back({sinceStart, press.what});
}

void MonitorEvents::driveDrops(double now, double sinceStart,
                               std::vector<std::unique_ptr<Simulator>>& simulators,
                               std::vector<StationEvent>& events) {
    while (nextDrop_ < drops_.size() && drops_[nextDrop_].atSecond <= sinceStart) {
        const SimultaneousDrop& drop = drops_[nextDrop_++];
        for (int device : drop.devices)
            simulators.at(device - 1)->setFault(Simulator::Fault::Silent);
        silences_.push_back({drop.devices, drop.atSecond + drop.seconds, {now, 0.0}, true});
        events.push_back({sinceStart, "devices " + deviceList(drop.devices) +
                                          " silent at once for " + secondsText(drop.seconds)});
    }
    for (Silence& silence : silences_) {
        if (!silence.open || silence.untilSecond > sinceStart)
            continue;
        for (int device : silence.devices)
            simulators.at(device - 1)->setFault(Simulator::Fault::None);
        silence.span.to = now;
        silence.open = false;
        events.push_back({sinceStart, "devices " + deviceList(silence.devices) + " answer again"});
    }
}

void MonitorEvents::finish(double stopped) {
    for (RealSpan& span : calibrationSpans_) {
        if (span.to < span.from)
            span.to = stopped;
    }
    for (Silence& silence : silences_) {
        if (silence.open)
            silence.span.to = stopped;
        silence.open = false;
    }
}

std::vector<RealSpan> MonitorEvents::silentSpans(int device) const {
    std::vector<RealSpan> spans;
    for (const Silence& silence : silences_) {
        if (std::count(silence.devices.begin(), silence.devices.end(), device) > 0)
            spans.push_back(silence.span);
    }
    return spans;
}

bool MonitorEvents::dropped(int device) const {
    return std::any_of(drops_.begin(), drops_.end(), [device](const SimultaneousDrop& drop) {
        return std::count(drop.devices.begin(), drop.devices.end(), device) > 0;
    });
}

}  // namespace torven::soak
