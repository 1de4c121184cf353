#include <array>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "MonitorFixture.h"

namespace torven::test {
namespace {

// The monitor's wall clock runs ahead or behind by an offset that the test sets while the
// program runs (libfaketime, re-reading its offset file on every clock reading). Only the
// wall clock is faked: the monotonic clock and the files' times stay real, as when a time
// service or an operator sets the system clock.
constexpr const char* fakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";

class WallClockStepTest : public MonitorFixture {
  protected:
    void SetUp() override {
        MonitorFixture::SetUp();
        ASSERT_TRUE(std::filesystem::exists(fakeTimeLibrary)) << "the faketime package is missing";
        plugDevice(1, deviceVolts);
        writeConfig(oneDeviceConfig(rates));
    }

    void startWithOffset(long long seconds) {
        setOffset(seconds);
        startMonitor("UTC",
                     {std::string("LD_PRELOAD=") + fakeTimeLibrary,
                      "FAKETIME_TIMESTAMP_FILE=" + station_.path("faketime.rc").string(),
                      "FAKETIME_NO_CACHE=1", "FAKETIME_DONT_FAKE_MONOTONIC=1", "NO_FAKE_STAT=1"});
    }

    void setOffset(long long seconds) {
        offset_ = seconds;
        station_.writeFile("faketime.rc", (seconds < 0 ? "" : "+") + std::to_string(seconds));
    }
    void stepBy(long long seconds) { setOffset(offset_ + seconds); }

    // The monitor's own time as it shows it.
    std::time_t shownTime() const {
        std::optional<std::time_t> shown;
        EXPECT_TRUE(eventually([&] { return (shown = shownClock()).has_value(); }, screenTimeout));
        return shown.value_or(0);
    }
    ::testing::AssertionResult shownTimeReaches(std::time_t instant) const {
        if (eventually([&] { return shownClock().value_or(0) >= instant; }, screenTimeout))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the clock never reached " << instant << "\n"
                                             << monitor().screenText();
    }

    // Every stream's rows over all its handed-over files: each row in a file of its own UTC
    // day, the times strictly rising within a file and no second recorded twice.
    void expectEverySecondOnceInItsOwnDay() const {
        std::map<std::string, std::set<std::time_t>> secondsByStream;
        for (const auto& [name, content] : readDataFiles(station_, "Data")) {
            EXPECT_TRUE(isWholeDataFile(content)) << name;
            const std::string stream = name.substr(16);
            std::time_t previous = 0;
            for (const std::string& row : wholeRows(content)) {
                const std::optional<std::time_t> time = parseDateTime(row.substr(0, 19));
                ASSERT_TRUE(time) << row;
                const std::string day = row.substr(0, 4) + row.substr(5, 2) + row.substr(8, 2);
                EXPECT_EQ(day, name.substr(0, 8)) << "a row of another day in " << name;
                EXPECT_GT(*time, previous) << row << " in " << name;
                previous = *time;
                EXPECT_TRUE(secondsByStream[stream].insert(*time).second)
                    << row << " recorded twice for " << stream;
            }
        }
        EXPECT_EQ(secondsByStream.size(), 4u);
    }

    std::vector<std::string> filesOf(const std::string& folder, const std::string& id) const {
        std::vector<std::string> names = dataFiles(folder);
        std::erase_if(names, [&](const std::string& name) { return name.find(id) == npos; });
        return names;
    }

    static constexpr std::size_t npos = std::string::npos;
    const std::array<int, 4> rates{1, 1, 1, 1};
    long long offset_ = 0;
};

// Set back and then forward by a time service: no second twice, nothing for the skipped
// seconds, the device undisturbed and the files going on.
TEST_F(WallClockStepTest, StepsBackAndForwardKeepEverySecondOnceAndTheDeviceOnline) {
    startWithOffset(0);
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", rates)));
    ASSERT_TRUE(clockAdvances(3));
    stepBy(-3);
    ASSERT_TRUE(shownTimeReaches(shownTime() + 6));
    stepBy(60);
    ASSERT_TRUE(shownTimeReaches(shownTime() + 3));
    EXPECT_EQ(quit(), 0);

    expectEverySecondOnceInItsOwnDay();
    for (int channel = 1; channel <= 4; ++channel) {
        const std::string id = "NR" + std::to_string(channel) + "_000123";
        EXPECT_EQ(filesOf("ToSend", id).size(), 1u) << "a step begins no new file for " << id;
    }
    EXPECT_TRUE(sameDataFiles(station_, "Data", "ToSend"));
    const std::vector<std::string> warnings = logMessages("WARN");
    EXPECT_EQ(warnings, (std::vector<std::string>{"System clock stepped back by 3.0 s",
                                                  "System clock stepped forward by 60.0 s"}));
    EXPECT_EQ(logMessagesWithoutLinkEvents(), logMessages()) << "the device never dropped";
}

// Set back across a UTC midnight: the new day's file is still being written, so it stays in
// tmp, is never begun again, and gets every second once when the clock has caught up.
TEST_F(WallClockStepTest, StepBackAcrossMidnightKeepsTheNewDaysFileWhole) {
    const std::time_t now = std::time(nullptr);
    const std::time_t midnight = (now / 86400 + 1) * 86400;
    // The countdown and the first rows still fall before midnight.
    startWithOffset(midnight - 25 - now);
    ASSERT_TRUE(statusScreenShows("DATALOG", deviceBlock("LOGGING", rates)));
    ASSERT_TRUE(shownTimeReaches(midnight + 2));
    stepBy(-20);
    ASSERT_TRUE(shownTimeReaches(midnight + 8));
    EXPECT_EQ(quit(), 0);

    expectEverySecondOnceInItsOwnDay();
    for (int channel = 1; channel <= 4; ++channel) {
        const std::string id = "NR" + std::to_string(channel) + "_000123";
        const std::vector<std::string> files = filesOf("ToSend", id);
        ASSERT_EQ(files.size(), 2u) << "one file for each day";
        const std::vector<std::string> rows =
            wholeRows(station_.readFile("ToSend/" + files.back()));
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(parseDateTime(rows.front().substr(0, 19)), midnight) << files.back();
    }
    EXPECT_TRUE(sameDataFiles(station_, "Data", "ToSend"));
    EXPECT_EQ(countOf(logMessages("WARN"), "System clock stepped back by 20.0 s"), 1u);
}

}  // namespace
}  // namespace torven::test
