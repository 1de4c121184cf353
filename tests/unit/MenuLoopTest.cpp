#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "config/SiteConfiguration.h"
#include "shell/MenuLoop.h"
#include "support/ScratchStation.h"
#include "support/UtcInstant.h"

namespace torven {
namespace {

using Mode = DataLoggingMode;
using Messages = std::vector<std::string>;

const char* const enterDatalog = "Entering Data Collection Mode";
const char* const enterCalibrate = "Entering Calibration Mode";
const char* const exitDatalog = "Exiting Data Collection Mode";
const char* const exitCalibrate = "Exiting Calibration Mode";
const char* const shuttingDown = "System shutting down";

std::int64_t at(int minute, int second) {
    return test::utcInstant(2011, 5, 4, 10, minute, second);
}

// Runs the menu loop on keys typed in advance. Every pass takes its time from `times` (the
// last one repeats) and may do something of the test's own first; a loop that is still
// running after many passes gets Escape and Q typed, and the test fails.
class MenuLoopTest : public ::testing::Test {
  protected:
    MenuLoopTest() {
        station.writeConfig("SITE = North Ridge\n");
        EXPECT_TRUE(site.loadConfiguration());
        site.modeController.setTimeSource([this] { return nextPass(); });
    }

    std::int64_t nextPass() {
        const std::size_t pass = passes++;
        if (onPass)
            onPass(pass);
        if (pass == 60) {
            rescued = true;
            site.console.feedKeys("\033q");
        }
        return times[std::min(pass, times.size() - 1)];
    }

    void run(const std::string& keys, Mode startMode) {
        site.console.feedKeys(keys);
        runMenuLoop(site, startMode);
        EXPECT_FALSE(rescued) << "the keys did not end the loop";
    }

    Messages modeMessages() const {
        const Messages modeTexts{enterDatalog, enterCalibrate, exitDatalog, exitCalibrate,
                                 shuttingDown};
        Messages found;
        for (const std::string& message : station.eventLogMessages()) {
            if (std::find(modeTexts.begin(), modeTexts.end(), message) != modeTexts.end()) {
                found.push_back(message);
            }
        }
        return found;
    }

    test::ScratchStation station;
    SiteConfiguration site;
    std::vector<std::int64_t> times{at(20, 7)};
    std::function<void(std::size_t)> onPass;
    std::size_t passes = 0;
    bool rescued = false;
};

struct KeyCase {
    const char* name;
    std::string keys;
    Mode startMode;
    Messages messages;
};

void PrintTo(const KeyCase& keyCase, std::ostream* out) {
    *out << keyCase.name;
}

class MenuKeysTest : public MenuLoopTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MenuKeysTest, KeysChangeModesOnlyThroughTheMenu) {
    run(GetParam().keys, GetParam().startMode);

    EXPECT_EQ(modeMessages(), GetParam().messages);
    EXPECT_EQ(site.modeController.mode(), Mode::STOPPED);
}

// Escape is written "\033" so that a following letter cannot join its escape sequence.
INSTANTIATE_TEST_SUITE_P(
    Menu, MenuKeysTest,
    ::testing::Values(
        KeyCase{"EscapeThenQ", "\033q", Mode::DATALOG, {enterDatalog, exitDatalog, shuttingDown}},
        KeyCase{
            "UpperCaseQ", "\033Q", Mode::CALIBRATE, {enterCalibrate, exitCalibrate, shuttingDown}},
        KeyCase{"LettersWithoutEscapeAreIgnored",
                "qcdQ\033q",
                Mode::DATALOG,
                {enterDatalog, exitDatalog, shuttingDown}},
        KeyCase{"CalibrateThenDatalog",
                "\033c\033D\033q",
                Mode::DATALOG,
                {enterDatalog, exitDatalog, enterCalibrate, exitCalibrate, enterDatalog,
                 exitDatalog, shuttingDown}},
        KeyCase{"TheRunningModeAgainChangesNothing",
                "\033d\033C\033q",
                Mode::DATALOG,
                {enterDatalog, exitDatalog, enterCalibrate, exitCalibrate, shuttingDown}},
        KeyCase{"EscapeClosesTheMenu",
                "\033\033c\033q",
                Mode::DATALOG,
                {enterDatalog, exitDatalog, shuttingDown}},
        KeyCase{"AnInvalidChoiceClosesTheMenu",
                "\033xc\033q",
                Mode::DATALOG,
                {enterDatalog, exitDatalog, shuttingDown}},
        KeyCase{"TheKeyAfterAScanIsConsumed",
                "\033s\033c\033q",
                Mode::DATALOG,
                {enterDatalog, exitDatalog, shuttingDown}}),
    [](const ::testing::TestParamInfo<KeyCase>& param) { return std::string(param.param.name); });

TEST_F(MenuLoopTest, QuittingLeavesAClearedScreen) {
    run("\033q", Mode::DATALOG);

    for (int y = 0; y < 51; ++y) {
        EXPECT_EQ(site.console.screen().rowText(y), std::string(80, ' ')) << "row " << y;
    }
}

TEST_F(MenuLoopTest, TheScreenIsDumpedOnceForEveryFiveSecondMark) {
    // Passes 1 to 5 are the cycles of keys a, b, c, d and Escape; the dump of a cycle comes
    // after its pass, so each pass looks for the dump of the cycle before and removes it.
    times = {at(20, 4), at(20, 5), at(20, 5), at(20, 6), at(20, 10), at(20, 10)};
    std::vector<bool> dumped;
    onPass = [&](std::size_t) {
        dumped.push_back(station.exists("tmp/Console.txt"));
        std::filesystem::remove(station.path("tmp/Console.txt"));
    };

    run("abcd\033q", Mode::DATALOG);
    dumped.push_back(station.exists("tmp/Console.txt"));

    EXPECT_EQ(dumped, (std::vector<bool>{false, false, true, false, false, true, false}));
}

TEST_F(MenuLoopTest, AChangedConfigurationIsLoadedWithoutEnteringTheModeAgain) {
    onPass = [&](std::size_t pass) {
        if (pass == 1)
            station.writeConfig("SITE = South Ridge Mast\n");
    };

    run("ab\033q", Mode::DATALOG);

    EXPECT_EQ(site.siteId(), "South Ridge Mast");
    EXPECT_EQ(modeMessages(), (Messages{enterDatalog, exitDatalog, shuttingDown}));
}

TEST(CycleSleepTest, SleepsAQuarterSecondButNeverPastJustAfterTheNextSecondBegins) {
    const std::int64_t second = at(20, 7) * 1000;
    const struct {
        std::int64_t lastPass;  // milliseconds after the start of the second
        std::int64_t now;
        int sleep;
    } cases[] = {
        {10, 50, 250},     // a quick pass early in the second: the usual quarter second
        {10, 760, 250},    // exactly a quarter second left until 10 ms into the next second
        {10, 800, 210},    // the last sleep of the second ends just after the boundary
        {999, 999, 11},    // a pass at the very end of its second
        {0, 1000, 10},     // the next second has just begun: up to 10 ms into it
        {10, 1009, 1},     // it is nearly time: one millisecond
        {10, 1010, 1},     // time for the next pass: at once
        {500, 1800, 1},    // the pass ran late: the next one follows at once
        {10, 5000, 1},     // however late
        {1020, 1030, 250}  // the pass in the next second is the one that counts
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(cycleSleepMilliseconds(second + entry.lastPass, second + entry.now), entry.sleep)
            << "pass at +" << entry.lastPass << " ms, now +" << entry.now << " ms";
    }
}

}  // namespace
}  // namespace torven
