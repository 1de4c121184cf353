#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "di194rs-sim/Di194RsSimulator.h"
#include "support/DataFileCheck.h"
#include "support/ScratchStation.h"
#include "support/TmuxSession.h"

namespace torven::test {

using namespace std::chrono_literals;

// Waits long enough for a sanitizer build on a loaded two-core machine; the start-up
// countdown alone takes five seconds.
inline constexpr std::chrono::milliseconds screenTimeout = 60s;

// The title line as the status screen shows it, 80 characters.
std::string titleRow();
// The menu line, 80 characters.
std::string menuRow();
// The column header of the status screen.
inline constexpr const char* columnHeader =
    "Port    Device     Chan  DataType   ID          Data     MODE             Rate";

// One channel row of a device block as the status screen shows it: the 19 columns of the
// device field (port and type, the ON-Line field or blanks), the channel number, the stream's
// type name and ID, the value, the status word and the rate; 80 characters.
std::string channelRow(const std::string& deviceField, int channel, const std::string& id,
                       const std::string& value, const std::string& status, int rate,
                       const std::string& typeName = "KORALI-VX");
std::string deviceField(const std::string& port);  // "COM1    DI-194RS   "
std::string onLineField(const std::string& port);  // "ON-Line: COM1      "

// A CHANNEL line of a KORALI-VX stream with MonitorID 000123 and Frequency 24.0; its ID is
// the station ID followed by "_000123".
std::string koraliChannelLine(int channel, const std::string& stationId, int sampleRate);
// Site "Test Ridge" with one DI-194RS on COM1 whose channels 1-4 are recorded as NR1-NR4
// with the given sample rates.
std::string oneDeviceConfig(const std::array<int, 4>& rates);
// Channel voltages the simulator can send exactly, and how the screen shows them.
inline constexpr std::array<double, 4> deviceVolts{2.5, -3.75, 0.0, 9.98046875};
inline const std::array<std::string, 4> shownValues{"+2.500", "-3.750", "+0.000", "+9.980"};
// The rows 9-12 of the status screen for the device of oneDeviceConfig, every stream showing
// `status`, with the given rates.
std::vector<std::string> deviceBlock(const std::string& status, const std::array<int, 4>& rates);
// Pads (or cuts) a text to 80 columns, as a row of the pane.
std::string screenRow(const std::string& text);

// The whole test of one run of the monitor: a scratch station, simulated DI-194RS devices
// behind its ports, and the real program in an 80 x 51 tmux pane with bin/ as its working
// directory. At the end the program and the devices are stopped, and the program must not
// have left a sanitizer report.
class MonitorFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A simulated DI-194RS behind Ports/COMn, its channels at constant voltages.
    sim::Di194RsSimulator& plugDevice(int port, const std::array<double, 4>& volts);
    // Replaces Conf/TORVEN_config.txt in one step, so the program never reads half a file.
    void writeConfig(const std::string& content) const;
    // Starts the program with the given TZ, further "NAME=value" settings and command line
    // arguments.
    void startMonitor(const std::string& timeZone = "UTC",
                      const std::vector<std::string>& environment = {},
                      const std::vector<std::string>& arguments = {});

    const TmuxSession& monitor() const { return *monitor_; }
    ::testing::AssertionResult screenShows(const std::string& text,
                                           std::chrono::milliseconds timeout = screenTimeout) const;
    // The row of the pane equals text (padded to 80 columns).
    ::testing::AssertionResult rowShows(int row, const std::string& text,
                                        std::chrono::milliseconds timeout = screenTimeout) const;
    // For a text that shows only briefly: waits until the pane or tmp/Console.txt holds it.
    ::testing::AssertionResult screenOrDumpShows(const std::string& text) const;
    // Waits for the status screen in the given mode with every listed row as expected.
    ::testing::AssertionResult statusScreenShows(
        const std::string& modeName, const std::vector<std::string>& deviceRows,
        std::chrono::milliseconds timeout = screenTimeout) const;
    // Escape, then (once the menu line is up) the key.
    ::testing::AssertionResult pressMenuKey(const std::string& key) const;
    // Escape, Q, and the program's end; the exit status.
    std::optional<int> quit() const;
    std::optional<int> waitForExit() const { return monitor_->waitForExit(screenTimeout); }

    // The time shown after "UTC :" on the status screen, as seconds since the epoch.
    std::optional<std::time_t> shownClock() const;
    // Waits until the shown clock is at least `seconds` past the one shown now.
    ::testing::AssertionResult clockAdvances(int seconds) const;

    // The data files (*.csv) of a station folder.
    std::vector<std::string> dataFiles(const std::string& folder) const;
    // The content of tmp/Console.txt once it holds `text` and two reads in a row agree (the
    // program rewrites it every five seconds); empty when that does not happen in time.
    std::string consoleDump(const std::string& text) const;
    // The event log's messages with the entries logged at `level` only ("" for every entry).
    std::vector<std::string> logMessages(const std::string& level = "") const;
    // The messages without the device link's comings and goings ("... has returned online",
    // "Data collection: Lost connection for ..."), which a starved machine can cause anywhere.
    std::vector<std::string> logMessagesWithoutLinkEvents() const;

    std::time_t testStart_ = 0;
    ScratchStation station_;
    std::vector<std::unique_ptr<sim::Di194RsSimulator>> simulators_;
    std::unique_ptr<TmuxSession> monitor_;
};

// Whether `wanted` appears in `messages` in this order, other messages allowed between; a
// failure lists the messages.
::testing::AssertionResult containsInOrder(const std::vector<std::string>& messages,
                                           const std::vector<std::string>& wanted);
std::size_t countOf(const std::vector<std::string>& messages, const std::string& message);
// "YYYY-MM-DD hh:mm:ss" (UTC) as seconds since the epoch; none when the text has another form.
std::optional<std::time_t> parseDateTime(const std::string& text);
// "dd-Mon-yyyy  hh:mm:ss" as the shutdown line shows it; none when the text has another form.
std::optional<std::time_t> parseShutdownTime(const std::string& text);
std::string joinLines(const std::vector<std::string>& lines);

}  // namespace torven::test
