#include "WineMonitorFixture.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace torven::test {

namespace fs = std::filesystem;

namespace {

std::string environmentValue(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

std::string deviceConfig(int port, const std::array<int, 4>& rates, const std::string& site) {
    std::string config = "SITE = " + site +
                         ", Longitude = -105.27, Latitude = 40.01\n"
                         "DEVICE = DI-194RS, PORT = COM" +
                         std::to_string(port) + "\n";
    for (int channel = 1; channel <= 4; ++channel) {
        const int rate = rates[static_cast<std::size_t>(channel - 1)];
        if (rate > 0)
            config += koraliChannelLine(channel, "NR" + std::to_string(channel), rate);
    }
    return config;
}

std::vector<std::string> deviceRows(int port, const std::array<int, 4>& rates,
                                    const std::string& status) {
    const std::string name = "COM" + std::to_string(port);
    const std::array<std::string, 4> fields{deviceField(name), onLineField(name), "", ""};
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < 4; ++i) {
        const int channel = static_cast<int>(i) + 1;
        rows.push_back(
            rates[i] > 0
                ? channelRow(fields[i], channel, "NR" + std::to_string(channel) + "_000123",
                             shownValues[i], status, rates[i])
                : channelRow(fields[i], channel, "", shownValues[i], "N/A", 0, "Unassigned"));
    }
    return rows;
}

bool rowsInTmp(const ScratchStation& station, std::size_t files, std::size_t rows) {
    const auto written = readDataFiles(station, "tmp");
    return written.size() == files &&
           std::all_of(written.begin(), written.end(),
                       [&](const auto& file) { return wholeRows(file.second).size() >= rows; });
}

void WineMonitorFixture::SetUp() {
    MonitorFixture::SetUp();
    prefix_ = environmentValue("WINEPREFIX");
    ASSERT_TRUE(fs::is_directory(prefix_ / "dosdevices"))
        << "WINEPREFIX must name the prefix of a running Wine session";
    ASSERT_TRUE(fs::is_regular_file(environmentValue("TORVEN_WINDOWS_MONITOR")))
        << "TORVEN_WINDOWS_MONITOR must name torven-monitor.exe";
}

// The program ends first; then no port of the prefix leads into the station any more.
void WineMonitorFixture::TearDown() {
    monitor_.reset();
    for (const int port : linkedPorts_) {
        std::error_code ignored;
        fs::remove(prefix_ / "dosdevices" / ("com" + std::to_string(port)), ignored);
    }
    MonitorFixture::TearDown();
}

void WineMonitorFixture::linkPort(int port, const fs::path& target) {
    const fs::path link = prefix_ / "dosdevices" / ("com" + std::to_string(port));
    std::error_code ignored;
    fs::remove(link, ignored);
    fs::create_symlink(target, link);
    linkedPorts_.push_back(port);
}

sim::Di194RsSimulator& WineMonitorFixture::plugWineDevice(int port,
                                                          const std::array<double, 4>& volts) {
    sim::Di194RsSimulator& simulator = plugDevice(port, volts);
    // Through the station's link, which the simulator keeps pointing at its pseudo-terminal.
    linkPort(port, station_.portLink(port));
    return simulator;
}

// A folder: Wine finds the port, but a folder does not open as a file. A missing or dangling
// link would not do, since Wine then falls back to /dev/ttyS<n-1>, a real port.
void WineMonitorFixture::linkToNothing(int port) {
    linkPort(port, station_.path("Ports"));
}

void WineMonitorFixture::startWindowsMonitor(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"wine", environmentValue("TORVEN_WINDOWS_MONITOR")};
    command.insert(command.end(), arguments.begin(), arguments.end());
    monitor_ = std::make_unique<TmuxSession>(
        command, station_.path("bin"),
        std::vector<std::string>{"TZ=UTC", "WINEPREFIX=" + prefix_.string(), "WINEDEBUG=-all"});
    ASSERT_TRUE(monitor_->started()) << "tmux did not start wine";
    ASSERT_GT(monitor_->pid(), 0);
}

}  // namespace torven::test
