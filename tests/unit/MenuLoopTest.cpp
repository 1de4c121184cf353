#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <ctime>
#include <filesystem>
#include <functional>
#include <future>
#include <ostream>
#include <regex>
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
// running after many passes gets Escape and Q typed on every pass (the first Escape may only
// leave the scan screen), and the test fails. A port scan reports what `probe` returns.
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
        if (pass >= 60) {
            rescued = true;
            site.console.feedKeys("\033q");
        }
        return times[std::min(pass, times.size() - 1)];
    }

    void run(const std::string& keys, Mode startMode) {
        site.console.feedKeys(keys);
        runMenuLoop(site, startMode, probe);
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
    ScanScreen::Probe probe = [] { return std::string("DI-194RS: No DI-194RS found.\n\n"); };
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

// A scan whose probe reports "DI-194RS: COM5" once the test lets it end, and a millisecond
// clock that moves on by `step` in every pass. Every pass notes the screen it saw: 'S' the
// status display, 'n' "Scanning...", 'r' the report with its prompt, '.' anything else.
class ScanScreenTest : public MenuLoopTest {
  protected:
    ScanScreenTest() {
        site.modeController.setMillisecondSource([this] { return now; });
        probe = [this] {
            mayEnd.wait_for(std::chrono::seconds(10));
            return std::string("DI-194RS: COM5\n");
        };
        onPass = [this](std::size_t) {
            now += step;
            screens += row(7).starts_with("Press a key")    ? 'r'
                       : row(5).starts_with("Scanning...")  ? 'n'
                       : row(2).starts_with("Current Mode") ? 'S'
                                                            : '.';
            if (react)
                react(screens.back(), std::ranges::count(screens, screens.back()));
            if (screens.ends_with("rS"))
                site.console.feedKeys("\033q");
        };
    }

    std::string row(int y) const { return site.console.screen().rowText(y); }

    std::int64_t now = 0;
    std::int64_t step = 1000;
    std::string screens;
    // With the screen of the pass and how many passes saw it.
    std::function<void(char, std::ptrdiff_t)> react;
    std::promise<void> ends;
    std::shared_future<void> mayEnd = ends.get_future().share();
};

TEST_F(ScanScreenTest, PassesGoOnAndTheReportGivesWayAfterAMinuteWithoutAKey) {
    step = ScanScreen::resultStandsMilliseconds / 12;
    react = [this](char screen, std::ptrdiff_t seen) {
        // A key while the probe runs answers no report: it is dropped.
        if (screen == 'n' && seen == 2)
            site.console.feedKeys("x");
        if (screen == 'n' && seen == 4)
            ends.set_value();
    };

    run("\033s", Mode::DATALOG);

    // The report stood for the twelve passes of its minute; the first pass of the cycle that
    // left it still saw it.
    EXPECT_TRUE(std::regex_match(screens, std::regex("\\.Sn{4,}r{13}S+"))) << screens;
}

TEST_F(ScanScreenTest, AKeyLeavesTheReportAtOnceAndAReloadDrawsItAgain) {
    ends.set_value();
    std::string reportRow;
    react = [&](char screen, std::ptrdiff_t seen) {
        if (screen == 'r' && seen == 1)
            station.writeConfig("SITE = South Ridge Mast\n");
        if (screen == 'r' && seen == 2) {
            reportRow = row(5);
            // The Escape leaves the report; the C after it is no menu choice.
            site.console.feedKeys("\033c");
        }
    };

    run("\033s", Mode::DATALOG);

    EXPECT_TRUE(std::regex_match(screens, std::regex("\\.Sn*rrrS+"))) << screens;
    EXPECT_EQ(reportRow.substr(0, 15), "DI-194RS: COM5 ");
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
