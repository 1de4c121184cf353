#include <map>
#include <set>
#include <string>
#include <vector>

#include "MonitorFixture.h"

namespace torven::test {
namespace {

using HitlessReloadTest = MonitorFixture;

// Four devices, each recording its channel 1 every second as S<n>_000123; `comments` goes
// into the Comments item of S2, and the fourth device sits on `lastPort`.
std::string fourDevices(const std::string& comments, int lastPort) {
    std::string config = "SITE = Test Ridge, Longitude = -105.27\n";
    for (int device = 1; device <= 4; ++device) {
        const int port = device == 4 ? lastPort : device;
        config += "DEVICE = DI-194RS, PORT = COM" + std::to_string(port) + "\n";
        std::string line = koraliChannelLine(1, "S" + std::to_string(device), 1);
        if (device == 2)
            line.insert(line.size() - 1, ", Comments = " + comments);
        config += line;
    }
    return config;
}

std::string streamId(int device) {
    return "S" + std::to_string(device) + "_000123";
}

// The data files of a stream in a folder, oldest first, with their content.
std::vector<std::pair<std::string, std::string>> filesOf(const ScratchStation& station,
                                                         const std::string& folder, int device) {
    std::vector<std::pair<std::string, std::string>> files;
    for (const auto& entry : readDataFiles(station, folder)) {
        if (entry.first.ends_with("_" + streamId(device) + ".csv"))
            files.push_back(entry);
    }
    return files;
}

std::vector<std::time_t> rowTimes(const std::string& content) {
    std::vector<std::time_t> times;
    for (const std::string& row : wholeRows(content))
        times.push_back(parseDateTime(row.substr(0, 19)).value_or(0));
    return times;
}

// The times follow each other second by second: every due second of a one-second stream is
// there, and none twice.
::testing::AssertionResult everySecondOnce(const std::vector<std::time_t>& times) {
    if (times.size() < 2)
        return ::testing::AssertionFailure() << times.size() << " rows";
    for (std::size_t index = 1; index < times.size(); ++index) {
        if (times[index] != times[index - 1] + 1) {
            return ::testing::AssertionFailure()
                   << "row " << index << " is at " << times[index] << " after " << times[index - 1];
        }
    }
    return ::testing::AssertionSuccess();
}

// Edits that leave a device or a stream alone cost it nothing: it stays connected without a
// new handshake, its stream keeps its one file with every second in it, and the event log
// says nothing about it. Only the stream whose header changes and the device whose port
// changes start anew.
TEST_F(HitlessReloadTest, EditsLeaveUntouchedDevicesAndStreamsAlone) {
    for (int port = 1; port <= 5; ++port)
        plugDevice(port, deviceVolts);
    writeConfig(fourDevices("first", 4));
    startMonitor();
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 4; }, screenTimeout));
    ASSERT_TRUE(clockAdvances(2));
    std::vector<std::vector<std::string>> handshakes;
    for (int port = 1; port <= 4; ++port)
        handshakes.push_back(simulators_[port - 1]->commands());

    writeConfig("# a comment\n" + fourDevices("first", 4));
    ASSERT_TRUE(clockAdvances(3));
    EXPECT_EQ(dataFiles("tmp").size(), 4u) << "a comment begins no file";

    writeConfig("# a comment\n" + fourDevices("second", 4));
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 5; }, screenTimeout))
        << "S2 begins a file under its new header";
    ASSERT_TRUE(clockAdvances(2));

    writeConfig("# a comment\n" + fourDevices("second", 5));
    ASSERT_TRUE(eventually([&] { return dataFiles("tmp").size() == 6; }, screenTimeout))
        << "S4 begins a file on the device now on COM5";
    EXPECT_TRUE(eventually([&] { return !simulators_[3]->streaming(); }, screenTimeout))
        << "the device on COM4 is released";
    ASSERT_TRUE(clockAdvances(3));
    for (int port = 1; port <= 3; ++port) {
        EXPECT_EQ(simulators_[port - 1]->commands(), handshakes[port - 1])
            << "COM" << port << " was not started again";
    }
    handshakes[3].push_back("S0");
    EXPECT_EQ(simulators_[3]->commands(), handshakes[3]) << "COM4 was only stopped";
    EXPECT_EQ(countOf(simulators_[4]->commands(), "S1"), 1u) << "COM5 was started once";
    EXPECT_EQ(quit(), 0);

    EXPECT_TRUE(holdsOnlyWholeDataFiles(station_, "ToSend"));
    EXPECT_TRUE(sameDataFiles(station_, "Data", "ToSend"));
    for (const int untouched : {1, 3}) {
        const auto files = filesOf(station_, "ToSend", untouched);
        ASSERT_EQ(files.size(), 1u) << streamId(untouched);
        EXPECT_TRUE(everySecondOnce(rowTimes(files[0].second))) << files[0].first;
    }

    const auto commented = filesOf(station_, "ToSend", 2);
    ASSERT_EQ(commented.size(), 2u);
    EXPECT_NE(commented[0].second.find("# Comments = first\r\n"), std::string::npos);
    EXPECT_NE(commented[1].second.find("# Comments = second\r\n"), std::string::npos);
    std::vector<std::time_t> times = rowTimes(commented[0].second);
    const std::vector<std::time_t> after = rowTimes(commented[1].second);
    times.insert(times.end(), after.begin(), after.end());
    EXPECT_TRUE(everySecondOnce(times)) << "S2 goes on in its new file from the reload on";

    const auto moved = filesOf(station_, "ToSend", 4);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_TRUE(everySecondOnce(rowTimes(moved[0].second))) << moved[0].first;

    const std::vector<std::string> messages = logMessages();
    EXPECT_EQ(logMessagesWithoutLinkEvents(), messages) << joinLines(messages);
}

}  // namespace
}  // namespace torven::test
