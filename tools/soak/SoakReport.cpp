#include "soak/SoakReport.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace torven::soak {

namespace {

std::string format(const char* pattern, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string milliseconds(const std::optional<double>& ms) {
    return ms ? format("%.0f ms", *ms) : std::string("-");
}

std::string rowFaults(const StreamFigures& figures) {
    std::string text;
    auto add = [&text](int count, const char* what) {
        if (count == 0)
            return;
        if (!text.empty())
            text += ", ";
        text += std::to_string(count) + " " + what;
    };
    add(figures.duplicates, "duplicate");
    add(figures.offSchedule, "off-schedule");
    add(figures.wrongValues, "wrong value");
    add(figures.malformedLines, "malformed");
    add(figures.outOfOrder, "out of order");
    add(figures.otherDay, "of another day");
    add(figures.shorterCopies, "replaced by a shorter copy");
    return text.empty() ? "-" : text;
}

std::string longestGap(const StreamFigures& figures) {
    const auto gap = figures.longestGap();
    if (!gap)
        return "-";
    return format("%lld s from %s", static_cast<long long>(gap->seconds),
                  formatDateTime(gap->start).substr(11).c_str());
}

void printStreams(std::ostream& out, const SoakResult& result) {
    out << format("%-13s %3s %-15s %4s %5s %5s %5s %8s  %-20s %9s  %s\n", "Stream", "Dev", "Role",
                  "Rate", "Due", "Rows", "Miss", "Complete", "Longest gap", "Worst row",
                  "Row faults");
    for (const StreamResult& stream : result.streams) {
        const StreamFigures& f = stream.figures;
        const std::string role = result.deviceResults.at(stream.plan.device - 1).role;
        out << format("%-13s %3d %-15s %4d %5d %5d %5d %7.1f%%  %-20s %9s  %s\n",
                      stream.plan.streamId.c_str(), stream.plan.device, role.c_str(),
                      stream.plan.sampleInterval, f.due, f.written, f.missing(), f.completeness(),
                      longestGap(f).c_str(), milliseconds(stream.worstRowIntervalMs).c_str(),
                      rowFaults(f).c_str());
    }
}

std::string recoveries(const DeviceResult& device) {
    std::string text;
    for (const FlapRecovery& recovery : device.recoveries) {
        if (!text.empty())
            text += ", ";
        text += format("+%.0fs: %s", recovery.plugSecond,
                       recovery.msToRow ? format("%.0f ms", *recovery.msToRow).c_str() : "no row");
    }
    return text.empty() ? "-" : text;
}

void printDevices(std::ostream& out, const SoakResult& result) {
    out << format("%-6s %-6s %-15s %8s  %s\n", "Device", "Port", "Role", "Returned",
                  "Plugged back at (after collection began): time to next row");
    for (const DeviceResult& device : result.deviceResults) {
        out << format("%-6d %-6s %-15s %8d  %s\n", device.device,
                      SoakPlan::portName(device.device).c_str(), device.role.c_str(),
                      device.returnedOnline, recoveries(device).c_str());
    }
}

// Plug-backs whose next row came within the goal, and the slowest of them.
std::string flapSummary(const SoakResult& result) {
    constexpr double kGoalMs = 5000.0;
    int plugs = 0;
    int inTime = 0;
    bool never = false;
    std::optional<double> slowest;
    for (const DeviceResult& device : result.deviceResults) {
        for (const FlapRecovery& recovery : device.recoveries) {
            ++plugs;
            if (!recovery.msToRow) {
                never = true;
                continue;
            }
            if (*recovery.msToRow <= kGoalMs)
                ++inTime;
            slowest = std::max(slowest.value_or(0.0), *recovery.msToRow);
        }
    }
    if (plugs == 0)
        return "none";
    return format("%d of %d plug-backs gave a row within 5 s, slowest %s", inTime, plugs,
                  never ? "never" : milliseconds(slowest).c_str());
}

void printEvents(std::ostream& out, const SoakResult& result) {
    if (result.events.empty())
        return;
    out << "Station events (seconds after data collection began; times of the monitor's clock):\n";
    for (const StationEvent& event : result.events)
        out << format("  +%5.1f s  %s\n", event.atSecond, event.what.c_str());
    out << "\n";
}

// The row faults of all streams together, by kind.
std::string faultTotals(const SoakResult& result) {
    StreamFigures total;
    for (const StreamResult& stream : result.streams) {
        const StreamFigures& f = stream.figures;
        total.duplicates += f.duplicates;
        total.offSchedule += f.offSchedule;
        total.wrongValues += f.wrongValues;
        total.malformedLines += f.malformedLines;
        total.outOfOrder += f.outOfOrder;
        total.otherDay += f.otherDay;
        total.shorterCopies += f.shorterCopies;
    }
    return rowFaults(total);
}

std::string cpuPercent(const SoakResult& result) {
    if (!result.startFigures || !result.endFigures || result.measuredSeconds <= 0)
        return "?";
    const double used = result.endFigures->cpuSeconds - result.startFigures->cpuSeconds;
    return format("%.1f %%", 100.0 * used / result.measuredSeconds);
}

std::string rss(const std::optional<ProcessFigures>& figures) {
    return figures ? format("%ld KiB", figures->rssKib) : std::string("?");
}

}  // namespace

void printReport(std::ostream& out, const SoakResult& result) {
    out << format("Soak run: %d devices, %d s of data collection, schedule \"%s\"\n",
                  result.devices, result.seconds, result.schedule.c_str());
    const auto timeOf = [](const std::optional<std::int64_t>& t) {
        return t ? formatDateTime(*t) : std::string("-");
    };
    out << "Rows counted over " << result.countedSeconds << " s of the monitor's clock, from "
        << timeOf(result.firstCounted) << " to " << timeOf(result.lastCounted)
        << " UTC; data collection began " << formatDateTime(result.collectionStart)
        << ", first row " << timeOf(result.firstRow) << "; clock offset at start "
        << result.startOffset << " s\n\n";
    printEvents(out, result);
    printStreams(out, result);
    out << "\n";
    printDevices(out, result);
    out << "\n";
    out << "Monitor: " << result.monitorEnding << "; CPU " << cpuPercent(result) << " over "
        << format("%.0f s", result.measuredSeconds) << "; RSS " << rss(result.startFigures)
        << " at start, " << rss(result.endFigures) << " at end\n";
    out << "Event log: " << result.eventLogLines << " lines, " << result.eventLogBytes
        << " bytes; flapping devices: " << flapSummary(result) << "\n";
    for (const std::string& problem : result.problems)
        out << "Problem: " << problem << "\n";
    if (result.stationKept)
        out << "Station kept in " << result.station.string() << "\n";
    const int due = result.healthyRowsDue();
    out << format(
        "SOAK %s: healthy streams complete: %s (min %.1f %%; %d of %d rows, %.1f %%), rows "
        "sound: %s (%s), worst row interval %s, CPU %s, RSS %s -> %s, event log %d lines / %ju "
        "bytes\n",
        result.passed() ? "PASSED" : "FAILED", result.healthyComplete() ? "yes" : "no",
        result.minHealthyCompleteness(), result.healthyRowsWritten(), due,
        due == 0 ? 100.0 : 100.0 * result.healthyRowsWritten() / due,
        result.rowsSound() ? "yes" : "no", faultTotals(result).c_str(),
        milliseconds(result.worstRowIntervalMs()).c_str(), cpuPercent(result).c_str(),
        rss(result.startFigures).c_str(), rss(result.endFigures).c_str(), result.eventLogLines,
        result.eventLogBytes);
}

}  // namespace torven::soak
