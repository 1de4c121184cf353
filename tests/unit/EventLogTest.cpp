#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>

#include "console/Console.h"
#include "eventlog/EventLog.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

TimeStamp at(std::int64_t epochSeconds) {
    TimeStamp stamp;
    stamp.setTo(epochSeconds);
    return stamp;
}

std::string padded(const std::string& text) {
    return text + std::string(80 - text.size(), ' ');
}

class EventLogTest : public ::testing::Test {
  protected:
    test::ScratchStation station;
    Console console{"..\\tmp\\Console.txt"};
    EventLog log{"..\\EventLog\\", console};

    // The station file the latest entry went to, from the entry's own time.
    std::string latestFile() const {
        const std::string& time = log.lastEventTime();
        return "EventLog/" + time.substr(0, 4) + "_" + time.substr(5, 2) + "_EventLOG.txt";
    }
};

TEST(LogLevel, Names) {
    EXPECT_EQ(levelName(LogLevel::CONF), "CONF");
    EXPECT_EQ(levelName(LogLevel::INFO), "INFO");
    EXPECT_EQ(levelName(LogLevel::WARN), "WARN");
    EXPECT_EQ(levelName(LogLevel::ERROR), "ERROR");
    EXPECT_EQ(levelName(LogLevel::FATAL), "FATAL");
}

TEST_F(EventLogTest, OneFilePerUtcMonthWithATwoDigitMonth) {
    EXPECT_EQ(log.eventLogFileName(at(1299283200)), "..\\EventLog\\2011_03_EventLOG.txt");
    EXPECT_EQ(log.eventLogFileName(at(1325375999)), "..\\EventLog\\2011_12_EventLOG.txt");
    EXPECT_EQ(log.eventLogFileName(at(1325376000)), "..\\EventLog\\2012_01_EventLOG.txt");
}

TEST_F(EventLogTest, AnEntryIsOneLineWithTheMessageUnchanged) {
    EXPECT_EQ(log.lastEventTime(), "");
    EXPECT_EQ(log.lastEventText(), "");
    log.logEvent(LogLevel::INFO, "Device \"DI-194RS\" on COM3 has returned online");

    EXPECT_TRUE(
        std::regex_match(log.lastEventTime(), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")));
    EXPECT_EQ(log.lastEventText(), "INFO: Device \"DI-194RS\" on COM3 has returned online");
    EXPECT_EQ(
        station.readFile(latestFile()),
        log.lastEventTime() + ", INFO, \"Device \"DI-194RS\" on COM3 has returned online\"\r\n");
    EXPECT_EQ(console.screen().rowText(0), padded(""));
}

TEST_F(EventLogTest, EntriesAreAppendedInOrder) {
    log.logEvent(LogLevel::INFO, "first");
    log.logEvent(LogLevel::WARN, "Can't open file ..\\tmp\\x.csv");
    EXPECT_EQ(log.lastEventText(), "WARN: Can't open file ..\\tmp\\x.csv");
    const std::vector<std::string> messages = station.eventLogMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "first");
    EXPECT_EQ(messages[1], "Can't open file ..\\tmp\\x.csv");
    EXPECT_NE(station.eventLogLines()[1].find(", WARN, "), std::string::npos);
    EXPECT_EQ(log.entryCounts(), (std::array<std::uint64_t, 5>{0, 1, 1, 0, 0}))
        << "counted by level: CONF, INFO, WARN, ERROR, FATAL";
}

TEST_F(EventLogTest, WithoutItsFolderTheLineGoesToTheConsole) {
    std::filesystem::remove_all(station.path("EventLog"));
    log.logEvent(LogLevel::ERROR, "Config file not found");
    EXPECT_EQ(log.lastEventText(), "ERROR: Config file not found");
    EXPECT_EQ(console.screen().rowText(0),
              padded(log.lastEventTime() + ", ERROR, \"Config file not found\""));
    EXPECT_EQ(console.screen().cursorY(), 1);
    EXPECT_FALSE(station.exists("EventLog"));

    // The next entry tries the file again.
    std::filesystem::create_directory(station.path("EventLog"));
    log.logEvent(LogLevel::INFO, "back");
    EXPECT_EQ(station.eventLogMessages(), std::vector<std::string>{"back"});
    EXPECT_EQ(console.screen().cursorY(), 1);
}

TEST_F(EventLogTest, FatalLogsThenShowsTheBannerWaitsForAKeyAndExits) {
    int exits = 0;
    log.setFatalExit([&] {
        ++exits;
        EXPECT_EQ(station.eventLogMessages(), std::vector<std::string>{"Site ID undefined"});
    });
    console.print("status line");
    console.feedKeys("\x1b[24~x");
    log.logEvent(LogLevel::FATAL, "Site ID undefined");

    EXPECT_EQ(exits, 1);
    EXPECT_EQ(log.lastEventText(), "FATAL: Site ID undefined");
    const platform::ScreenBuffer& screen = console.screen();
    EXPECT_EQ(screen.rowText(0), padded("status line"));
    EXPECT_EQ(screen.rowText(2), padded("**************************************"));
    EXPECT_EQ(screen.rowText(3), padded("* FATAL ERROR CAUSED SYSTEM SHUTDOWN *"));
    EXPECT_EQ(screen.rowText(4), padded("**************************************"));
    EXPECT_EQ(screen.rowText(5), padded("Time:     " + log.lastEventTime()));
    EXPECT_EQ(screen.rowText(6), padded("Message : Site ID undefined"));
    EXPECT_EQ(screen.rowText(9), padded(" Press a Key to exit the application"));
    EXPECT_EQ(screen.cursorY(), 9);
    // The whole function key was the key press; what follows is untouched.
    EXPECT_EQ(console.pollKey(), 'x');
}

TEST_F(EventLogTest, FatalWithoutInputEndsAtOnce) {
    int exits = 0;
    log.setFatalExit([&] { ++exits; });
    log.logEvent(LogLevel::FATAL, "Cannot create data type KORALI");
    EXPECT_EQ(exits, 1);
    EXPECT_NE(station.eventLogLines().at(0).find(", FATAL, \"Cannot create data type KORALI\""),
              std::string::npos);
}

}  // namespace
}  // namespace torven
