#include "MonitorFixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <sstream>

namespace torven::test {

namespace {

std::string padded(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

std::string format(const char* pattern, auto... values) {
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

std::optional<std::time_t> parseWith(const std::string& text, const char* pattern,
                                     std::size_t length) {
    if (text.size() != length)
        return std::nullopt;
    std::tm fields{};
    std::istringstream stream(text);
    stream >> std::get_time(&fields, pattern);
    if (stream.fail())
        return std::nullopt;
    return timegm(&fields);
}

// Adds a sanitizer setting to what the environment already asks for.
std::string sanitizerOptions(const char* variable, const std::string& extra) {
    const char* current = std::getenv(variable);
    std::string options = current != nullptr ? std::string(current) + ":" : std::string();
    return std::string(variable) + "=" + options + extra;
}

constexpr const char* sanitizerReport = "sanitizer-report";

}  // namespace

std::string titleRow() {
    return padded("TORVEN Data Collection Monitor     Press (ESC) for menu", 60) + "  Version " +
           padded("0.40", 10);
}

std::string menuRow() {
    return padded("MENU: D)atalog  C)alibrate  S)can for Devices   Q)uit    (ESC) exit menu", 80);
}

std::string deviceField(const std::string& port) {
    return format("%-6.6s  %-10.10s ", port.c_str(), "DI-194RS");
}

std::string onLineField(const std::string& port) {
    return format("ON-Line: %-8.8s  ", port.c_str());
}

std::string channelRow(const std::string& deviceField, int channel, const std::string& id,
                       const std::string& value, const std::string& status, int rate,
                       const std::string& typeName) {
    return padded(padded(deviceField, 20) + format("%2u   %-10.10s %-10.10s  %-8.8s %-16.16s %4d",
                                                   static_cast<unsigned>(channel), typeName.c_str(),
                                                   id.c_str(), value.c_str(), status.c_str(), rate),
                  80);
}

std::string koraliChannelLine(int channel, const std::string& stationId, int sampleRate) {
    return "CHANNEL = " + std::to_string(channel) +
           ", DATATYPE = KORALI-VX, StationID = " + stationId +
           ", Frequency = 24.0, MonitorID = 000123, SampleRate = " + std::to_string(sampleRate) +
           "\n";
}

std::string oneDeviceConfig(const std::array<int, 4>& rates) {
    std::string config =
        "# A test station\n"
        "SITE = Test Ridge, Longitude = -105.27, Latitude = 40.01\n"
        "DEVICE = DI-194RS, PORT = COM1\n";
    for (int channel = 1; channel <= 4; ++channel) {
        config += koraliChannelLine(channel, "NR" + std::to_string(channel),
                                    rates[static_cast<std::size_t>(channel - 1)]);
    }
    return config;
}

std::vector<std::string> deviceBlock(const std::string& status, const std::array<int, 4>& rates) {
    const std::array<std::string, 4> fields{deviceField("COM1"), onLineField("COM1"), "", ""};
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < 4; ++i) {
        const int channel = static_cast<int>(i) + 1;
        rows.push_back(channelRow(fields[i], channel, "NR" + std::to_string(channel) + "_000123",
                                  shownValues[i], status, rates[i]));
    }
    return rows;
}

std::string screenRow(const std::string& text) {
    return padded(text, 80);
}

void MonitorFixture::SetUp() {
    testStart_ = std::time(nullptr);
}

void MonitorFixture::TearDown() {
    monitor_.reset();
    for (auto& simulator : simulators_)
        simulator->stop();
    std::string reports;
    for (const std::string& name : station_.fileNames(".")) {
        if (name.rfind(sanitizerReport, 0) == 0)
            reports += station_.readFile(name);
    }
    EXPECT_EQ(reports, "") << "the program left sanitizer reports";
}

sim::Di194RsSimulator& MonitorFixture::plugDevice(int port, const std::array<double, 4>& volts) {
    auto simulator = std::make_unique<sim::Di194RsSimulator>(station_.portLink(port));
    for (int channel = 1; channel <= 4; ++channel) {
        sim::ChannelSignal signal;
        signal.volts = volts[static_cast<std::size_t>(channel - 1)];
        simulator->setSignal(channel, signal);
    }
    EXPECT_TRUE(simulator->start()) << "simulator on COM" << port;
    simulators_.push_back(std::move(simulator));
    return *simulators_.back();
}

void MonitorFixture::writeConfig(const std::string& content) const {
    station_.writeFile("Conf/.TORVEN_config.next", content);
    std::filesystem::rename(station_.path("Conf/.TORVEN_config.next"),
                            station_.path("Conf/TORVEN_config.txt"));
}

void MonitorFixture::startMonitor(const std::string& timeZone,
                                  const std::vector<std::string>& environment,
                                  const std::vector<std::string>& arguments) {
    const std::string report = station_.path(sanitizerReport).string();
    // A library preloaded before the sanitizer runtime (a fake clock) is fine for these runs.
    std::vector<std::string> settings{
        "TZ=" + timeZone,
        sanitizerOptions("ASAN_OPTIONS", "verify_asan_link_order=0:log_path=" + report),
        sanitizerOptions("UBSAN_OPTIONS", "print_stacktrace=1:log_path=" + report),
        sanitizerOptions("TSAN_OPTIONS", "log_path=" + report)};
    settings.insert(settings.end(), environment.begin(), environment.end());
    std::vector<std::string> command{TORVEN_MONITOR_PATH};
    command.insert(command.end(), arguments.begin(), arguments.end());
    monitor_ = std::make_unique<TmuxSession>(command, station_.path("bin"), settings);
    ASSERT_TRUE(monitor_->started()) << "tmux did not start the monitor";
    ASSERT_GT(monitor_->pid(), 0);
}

::testing::AssertionResult MonitorFixture::screenShows(const std::string& text,
                                                       std::chrono::milliseconds timeout) const {
    if (monitor_->waitForText(text, timeout))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the screen never showed \"" << text << "\"; it shows\n"
                                         << monitor_->screenText();
}

::testing::AssertionResult MonitorFixture::rowShows(int row, const std::string& text,
                                                    std::chrono::milliseconds timeout) const {
    const std::string expected = padded(text, 80);
    const auto condition = [&](const std::vector<std::string>& screen) {
        return screen[static_cast<std::size_t>(row)] == expected;
    };
    if (monitor_->waitForScreen(condition, timeout))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "row " << row << " never became\n"
                                         << expected << "|\nthe screen shows\n"
                                         << monitor_->screenText();
}

::testing::AssertionResult MonitorFixture::screenOrDumpShows(const std::string& text) const {
    const bool shown = eventually(
        [&] {
            return monitor_->screenText().find(text) != std::string::npos ||
                   station_.readFile("tmp/Console.txt").find(text) != std::string::npos;
        },
        screenTimeout, 20ms);
    if (shown)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "neither the screen nor Console.txt showed \"" << text << "\"; the screen shows\n"
           << monitor_->screenText();
}

::testing::AssertionResult MonitorFixture::statusScreenShows(
    const std::string& modeName, const std::vector<std::string>& deviceRows,
    std::chrono::milliseconds timeout) const {
    const auto condition = [&](const std::vector<std::string>& screen) {
        if (screen[2] != padded("Current Mode: " + modeName, 80))
            return false;
        if (screen[7] != padded(columnHeader, 80))
            return false;
        for (std::size_t i = 0; i < deviceRows.size(); ++i) {
            if (screen[9 + i] != padded(deviceRows[i], 80))
                return false;
        }
        return true;
    };
    if (monitor_->waitForScreen(condition, timeout))
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "the status screen never showed mode \"" << modeName << "\" with the rows\n";
    for (const std::string& row : deviceRows)
        failure << padded(row, 80) << "|\n";
    return failure << "the screen shows\n" << monitor_->screenText();
}

::testing::AssertionResult MonitorFixture::pressMenuKey(const std::string& key) const {
    if (auto ready = rowShows(0, titleRow()); !ready)
        return ready;
    monitor_->sendKeys({"Escape"});
    // The key must not follow Escape so closely that the two read as one escape sequence:
    // the menu line shows once Escape has been taken as a key of its own.
    if (auto open = rowShows(0, menuRow()); !open)
        return open;
    monitor_->sendKeys({key});
    return ::testing::AssertionSuccess();
}

std::optional<int> MonitorFixture::quit() const {
    if (auto pressed = pressMenuKey("q"); !pressed) {
        ADD_FAILURE() << pressed.message();
        return std::nullopt;
    }
    const std::optional<int> status = waitForExit();
    if (!status)
        ADD_FAILURE() << "the program did not end after Q\n" << monitor_->screenText();
    return status;
}

std::optional<std::time_t> MonitorFixture::shownClock() const {
    const std::string row = monitor_->capture()[5];
    if (row.rfind("UTC : ", 0) != 0)
        return std::nullopt;
    return parseDateTime(row.substr(6, 19));
}

::testing::AssertionResult MonitorFixture::clockAdvances(int seconds) const {
    std::optional<std::time_t> start;
    if (!eventually([&] { return (start = shownClock()).has_value(); }, screenTimeout)) {
        return ::testing::AssertionFailure() << "no clock on the screen\n"
                                             << monitor_->screenText();
    }
    const bool advanced = eventually(
        [&] {
            const auto now = shownClock();
            return now && *now >= *start + seconds;
        },
        screenTimeout);
    if (advanced)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the clock did not advance by " << seconds << " s\n"
                                         << monitor_->screenText();
}

std::vector<std::string> MonitorFixture::dataFiles(const std::string& folder) const {
    std::vector<std::string> names = station_.fileNames(folder);
    std::erase_if(names, [](const std::string& name) {
        return name.size() < 4 || name.substr(name.size() - 4) != ".csv";
    });
    return names;
}

std::string MonitorFixture::consoleDump(const std::string& text) const {
    std::string content;
    eventually(
        [&] {
            content = station_.readFile("tmp/Console.txt");
            return content.find(text) != std::string::npos &&
                   content == station_.readFile("tmp/Console.txt");
        },
        screenTimeout);
    return content.find(text) != std::string::npos ? content : std::string();
}

std::vector<std::string> MonitorFixture::logMessages(const std::string& level) const {
    // Each line is "YYYY-MM-DD hh:mm:ss, LEVEL, "message"".
    constexpr std::size_t levelStart = 21;
    std::vector<std::string> messages;
    for (const std::string& line : station_.eventLogLines()) {
        const std::size_t levelEnd = line.find(", \"", levelStart);
        if (line.size() < levelStart || levelEnd == std::string::npos || line.back() != '"') {
            continue;
        }
        if (!level.empty() && line.substr(levelStart, levelEnd - levelStart) != level)
            continue;
        messages.push_back(line.substr(levelEnd + 3, line.size() - levelEnd - 4));
    }
    return messages;
}

std::vector<std::string> MonitorFixture::logMessagesWithoutLinkEvents() const {
    std::vector<std::string> messages = logMessages();
    std::erase_if(messages, [](const std::string& message) {
        return message.ends_with(" has returned online") ||
               message.starts_with("Data collection: Lost connection for ");
    });
    return messages;
}

::testing::AssertionResult containsInOrder(const std::vector<std::string>& messages,
                                           const std::vector<std::string>& wanted) {
    auto next = messages.begin();
    for (const std::string& message : wanted) {
        next = std::find(next, messages.end(), message);
        if (next == messages.end()) {
            return ::testing::AssertionFailure()
                   << "\"" << message << "\" missing or out of order in\n"
                   << joinLines(messages);
        }
        ++next;
    }
    return ::testing::AssertionSuccess();
}

std::size_t countOf(const std::vector<std::string>& messages, const std::string& message) {
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
}

std::optional<std::time_t> parseDateTime(const std::string& text) {
    return parseWith(text, "%Y-%m-%d %H:%M:%S", 19);
}

std::optional<std::time_t> parseShutdownTime(const std::string& text) {
    return parseWith(text, "%d-%b-%Y  %H:%M:%S", 21);
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

}  // namespace torven::test
