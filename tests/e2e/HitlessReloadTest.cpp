#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "MonitorFixture.h"

namespace torven::test {
namespace {

using HitlessReloadTest = MonitorFixture;

// Four devices, each recording its channel 1 every second as S<n>_000123; `comments` is the
// Comments item of S2, and the fourth device sits on `lastPort`.
std::string fourDevices(const std::string& comments, int lastPort) {
    std::string config = "SITE = Test Ridge\n";
    for (int device = 1; device <= 4; ++device) {
        const int port = device == 4 ? lastPort : device;
        std::string channel = koraliChannelLine(1, "S" + std::to_string(device), 1);
        if (device == 2)
            channel.insert(channel.size() - 1, ", Comments = " + comments);
        config += "DEVICE = DI-194RS, PORT = COM" + std::to_string(port) + "\n" + channel;
    }
    return config;
}

// The contents of a stream's files in ToSend, oldest first.
std::vector<std::string> filesOf(const ScratchStation& station, int device) {
    std::vector<std::string> files;
    for (const auto& [name, content] : readDataFiles(station, "ToSend")) {
        if (name.ends_with("_S" + std::to_string(device) + "_000123.csv"))
            files.push_back(content);
    }
    return files;
}

// The row times up to `until`.
std::vector<std::time_t> rowTimes(const std::vector<std::string>& files, std::time_t until) {
    std::vector<std::time_t> times;
    for (const std::string& content : files) {
        for (const std::string& row : wholeRows(content)) {
            const std::time_t time = parseDateTime(row.substr(0, 19)).value_or(0);
            if (time <= until)
                times.push_back(time);
        }
    }
    return times;
}

// The rows rise and hold every second that some stream recorded between their first and
// their last: a second that no stream has went by without a pass (a starved machine skips
// seconds, and rows are not caught up), one that only this stream lacks is lost.
::testing::AssertionResult noSecondLost(const std::vector<std::time_t>& times,
                                        const std::set<std::time_t>& recorded) {
    if (times.size() < 5)
        return ::testing::AssertionFailure() << "only " << times.size() << " rows";
    for (std::size_t index = 1; index < times.size(); ++index) {
        if (times[index] <= times[index - 1])
            return ::testing::AssertionFailure() << times[index] << " after " << times[index - 1];
    }
    for (auto second = recorded.lower_bound(times.front());
         second != recorded.end() && *second <= times.back(); ++second) {
        if (!std::binary_search(times.begin(), times.end(), *second))
            return ::testing::AssertionFailure() << *second << " is missing";
    }
    return ::testing::AssertionSuccess();
}

// A comment, then S2's Comments item, then the fourth device's port: a device or stream that
// an edit leaves alone stays connected without a new handshake and keeps its one file
// without losing a second.
TEST_F(HitlessReloadTest, EditsLeaveUntouchedDevicesAndStreamsAlone) {
    for (int port = 1; port <= 5; ++port)
        plugDevice(port, deviceVolts);
    writeConfig(fourDevices("first", 4));
    startMonitor();
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 4; }, screenTimeout));
    ASSERT_TRUE(clockAdvances(2));

    const auto edit = [&](const std::string& config) { writeConfig("# a comment\n" + config); };
    edit(fourDevices("first", 4));
    ASSERT_TRUE(clockAdvances(3));
    EXPECT_EQ(dataFiles("tmp").size(), 4u) << "a comment begins no file";
    edit(fourDevices("second", 4));
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 5; }, screenTimeout));
    ASSERT_TRUE(clockAdvances(2));
    edit(fourDevices("second", 5));
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 6; }, screenTimeout));
    ASSERT_TRUE(clockAdvances(3));
    // A device that dropped out on a starved machine logs its return when it starts again;
    // a reload that built a device anew would start it silently.
    const std::time_t checked = shownClock().value_or(0);
    const std::vector<std::string> messages = logMessages();
    for (int port = 1; port <= 3; ++port) {
        const std::string returned =
            "DI-194RS on port COM" + std::to_string(port) + " has returned online";
        EXPECT_EQ(countOf(simulators_[port - 1]->commands(), "S1"), 1 + countOf(messages, returned))
            << "COM" << port << " started again\n"
            << joinLines(messages);
    }
    EXPECT_FALSE(simulators_[3]->streaming()) << "COM4 is released";
    EXPECT_EQ(countOf(simulators_[4]->commands(), "S1"), 1u) << "COM5 is started";
    EXPECT_EQ(quit(), 0);

    EXPECT_TRUE(holdsOnlyWholeDataFiles(station_, "ToSend"));
    std::set<std::time_t> recorded;
    for (int device = 1; device <= 4; ++device) {
        for (const std::time_t second : rowTimes(filesOf(station_, device), checked))
            recorded.insert(second);
    }
    for (const int untouched : {1, 3}) {
        const std::vector<std::string> files = filesOf(station_, untouched);
        EXPECT_EQ(files.size(), 1u) << "S" << untouched;
        EXPECT_TRUE(noSecondLost(rowTimes(files, checked), recorded)) << "S" << untouched;
    }
    // S2 goes on from the reload on in a file under its new header; S4's first file is
    // whole up to its device's change.
    const std::vector<std::string> commented = filesOf(station_, 2);
    ASSERT_EQ(commented.size(), 2u);
    EXPECT_NE(commented[1].find("# Comments = second\r\n"), std::string::npos);
    EXPECT_TRUE(noSecondLost(rowTimes(commented, checked), recorded));
    const std::vector<std::string> moved = filesOf(station_, 4);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_TRUE(noSecondLost(rowTimes({moved[0]}, checked), recorded));
}

}  // namespace
}  // namespace torven::test
