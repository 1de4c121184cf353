#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "config/SiteConfiguration.h"
#include "eventlog/EventLog.h"
#include "shell/Program.h"
#include "support/FakeDevice.h"
#include "support/ScratchStation.h"
#include "support/UtcInstant.h"

namespace torven {
namespace {

std::string padded(const std::string& text) {
    return text + std::string(80 - text.size(), ' ');
}

std::vector<std::string> rows(const Console& console, int first, int last) {
    std::vector<std::string> texts;
    for (int y = first; y <= last; ++y)
        texts.push_back(console.screen().rowText(y));
    return texts;
}

class ProgramTest : public ::testing::Test {
  protected:
    test::ScratchStation station;
    SiteConfiguration site;
};

TEST_F(ProgramTest, AConfigurationIsLoadedOnceAndAgainOnlyAfterItsFileChanged) {
    station.writeConfig("SITE = North Ridge\n");
    EXPECT_TRUE(reloadConfiguration(site));
    EXPECT_EQ(site.siteId(), "North Ridge");
    EXPECT_FALSE(reloadConfiguration(site));

    station.writeConfig("SITE = South Ridge, Comments = moved\n");
    EXPECT_TRUE(reloadConfiguration(site));
    EXPECT_EQ(site.siteId(), "South Ridge");
    EXPECT_FALSE(reloadConfiguration(site));
}

TEST_F(ProgramTest, ABrokenConfigurationShowsTheErrorBoxUntilTheFileIsFixed) {
    station.writeConfig("BOGUS = 1\n");
    // Fixes the file once the first error box has been dumped (or after a deadline, so that
    // a reload that never shows the box cannot hang the test).
    std::thread fixer([this] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!station.exists("tmp/Console.txt") && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        station.writeConfig("SITE = North Ridge\n");
    });
    const bool loaded = reloadConfiguration(site);
    fixer.join();

    EXPECT_TRUE(loaded);
    EXPECT_EQ(site.siteId(), "North Ridge");
    const EventLog& log = programEventLog();
    EXPECT_EQ(log.lastEventText(), "ERROR: Invalid configuration keyword: BOGUS");
    EXPECT_EQ(rows(site.console, 0, 9),
              (std::vector<std::string>{
                  padded(""), padded(""), padded("**************************************"),
                  padded("*               ERROR                *"),
                  padded("**************************************"),
                  padded("Time:     " + log.lastEventTime()),
                  padded("Message : ERROR: Invalid configuration keyword: BOGUS"), padded(""),
                  padded(" Fix the configuration problem and the"),
                  padded(" application will try to recover      ")}));
    EXPECT_EQ(site.console.screen().cell(79, 50).attribute, 0xC0) << "the whole screen is red";
    EXPECT_EQ(site.console.screen().attribute(), 0x0F);
    const std::string dump = station.readFile("tmp/Console.txt");
    EXPECT_NE(dump.find("*               ERROR                *"), std::string::npos);
}

TEST_F(ProgramTest, TheErrorBoxBeforeAnyEntryShowsEmptyTexts) {
    if (!programEventLog().lastEventTime().empty())
        GTEST_SKIP() << "the log already has entries";
    showErrorBox(site);

    EXPECT_EQ(site.console.screen().rowText(5), padded("Time:     "));
    EXPECT_EQ(site.console.screen().rowText(6), padded("Message : "));
}

TEST_F(ProgramTest, TheShutdownTimeBeforeAnyPassIsTheClocksZeroValue) {
    site.console.clearScreen();
    showShutdownTime(site);

    EXPECT_EQ(rows(site.console, 0, 4),
              (std::vector<std::string>{padded(""), padded(""), padded("SYSTEM SHUTDOWN:"),
                                        padded("00-Jan-1900  00:00:00"), padded("")}));
    EXPECT_EQ(site.console.screen().cursorY(), 4);
}

TEST_F(ProgramTest, TheShutdownTimeIsTheTimeOfTheLastPass) {
    const std::int64_t instant = test::utcInstant(2011, 5, 4, 9, 5, 3);
    site.modeController.setTimeSource([instant] { return instant; });
    site.modeController.step(site, DataLoggingMode::CALIBRATE);
    site.console.clearScreen();
    showShutdownTime(site);

    EXPECT_EQ(site.console.screen().rowText(3), padded("04-May-2011  09:05:03"));
}

struct StopCase {
    platform::StopSignal signal;
    const char* message;
};

class StopSignalTest : public ProgramTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopSignalTest, EndsInOrderWithStatusMinusOne) {
    GTEST_FLAG_SET(death_test_style, "fast");
    station.writeConfig("SITE = North Ridge\n");
    ASSERT_TRUE(site.loadConfiguration());
    auto device = std::make_unique<test::FakeDevice>("COM3");
    site.modeController.devices.addDevice(std::move(device));
    site.modeController.step(site, DataLoggingMode::DATALOG);
    station.writeFile("tmp/20110504_000000_NR1_A1.csv", "# today\n");

    station.shareWithDeathTestChild();
    EXPECT_EXIT(onStopSignal(site, GetParam().signal), ::testing::ExitedWithCode(255), "");

    const std::vector<std::string> messages = station.eventLogMessages();
    ASSERT_GE(messages.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(messages.end() - 3, messages.end()),
              (std::vector<std::string>{GetParam().message, "Exiting Data Collection Mode",
                                        "System shutting down"}));
    EXPECT_TRUE(station.exists("Data/20110504_000000_NR1_A1.csv")) << "every file handed over";
    EXPECT_TRUE(station.exists("ToSend/20110504_000000_NR1_A1.csv"));

    const std::string dump = station.readFile("tmp/Console.txt");
    const std::string box = "+-------------------------------+" + std::string(47, ' ') + "\r\n" +
                            "|                               |" + std::string(47, ' ') + "\r\n" +
                            "|       C O N T R O L - C       |" + std::string(47, ' ') + "\r\n" +
                            "|                               |" + std::string(47, ' ') + "\r\n" +
                            "| ***  Program Terminating  *** |" + std::string(47, ' ') + "\r\n" +
                            "+-------------------------------+" + std::string(47, ' ') + "\r\n";
    EXPECT_EQ(dump.rfind(box, 0), 0u) << dump;
    EXPECT_NE(dump.find(padded("SYSTEM SHUTDOWN:") + "\r\n"), std::string::npos) << dump;
}

INSTANTIATE_TEST_SUITE_P(
    EverySignal, StopSignalTest,
    ::testing::Values(
        StopCase{platform::StopSignal::Interrupt, "User pressed Control-C to terminate program"},
        StopCase{platform::StopSignal::Terminate,
                 "Received termination signal (SIGTERM) to terminate program"},
        StopCase{platform::StopSignal::HangUp,
                 "Received hang-up signal (SIGHUP) to terminate program"},
        StopCase{platform::StopSignal::ConsoleClosed, "Console window closed: terminating program"},
        StopCase{platform::StopSignal::LogOff, "User logging off: terminating program"},
        StopCase{platform::StopSignal::ShutDown, "Windows shutting down: terminating program"}));

}  // namespace
}  // namespace torven
