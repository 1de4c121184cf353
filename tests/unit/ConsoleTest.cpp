#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "console/Console.h"
#include "platform/ProgramLock.h"
#include "support/HostSystem.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

constexpr int up = 224 + 72 * 256;
constexpr int f1 = 59 * 256;

std::string padded(const std::string& text) {
    return text + std::string(80 - text.size(), ' ');
}

TEST(Console, ColourIndexesMapToConsoleAttributes) {
    const std::uint8_t expected[16] = {0x0, 0x4, 0x2, 0x1, 0x3, 0x5, 0x6, 0x7,
                                       0x8, 0xC, 0xA, 0x9, 0xB, 0xD, 0xE, 0xF};
    for (int index = 0; index < 16; ++index) {
        EXPECT_EQ(foregroundAttribute(static_cast<ColourIndex>(index)), expected[index]) << index;
    }
}

TEST(Console, SchemesSetTheirAttributes) {
    Console console("..\\tmp\\Console.txt");
    const struct {
        void (Console::*scheme)();
        std::uint8_t attribute;
    } schemes[] = {
        {&Console::setInverseColours, 0xF0}, {&Console::setAlertTextColours, 0x0C},
        {&Console::setAlertColours, 0xC0},   {&Console::setHighlightColours, 0xB0},
        {&Console::setNormalColours, 0x0F},
    };
    for (const auto& s : schemes) {
        (console.*s.scheme)();
        EXPECT_EQ(console.screen().attribute(), s.attribute);
    }
    console.setColours(ColourIndex::BrightBlue, ColourIndex::Yellow);
    EXPECT_EQ(console.screen().attribute(), 0x69);
}

TEST(Console, ClearAfterAlertColoursTurnsTheWholeScreenRed) {
    Console console("..\\tmp\\Console.txt");
    console.print("old text");
    console.setAlertColours();
    console.clearScreen();
    console.setNormalColours();
    console.print("Disconnected");
    EXPECT_EQ(console.screen().cell(0, 0).attribute, 0x0F);
    EXPECT_EQ(console.screen().cell(12, 0).attribute, 0xC0);
    EXPECT_EQ(console.screen().cell(79, 50).attribute, 0xC0);
    EXPECT_EQ(console.screen().rowText(0), padded("Disconnected"));
}

TEST(Console, PrintfFormatsIntoTheScreen) {
    Console console("..\\tmp\\Console.txt");
    console.printf("Starting in %d Second(s)\r", 5);
    console.printf("Version %s", "0.40");
    EXPECT_EQ(console.screen().rowText(0), padded("Version 0.405 Second(s)"));
    console.moveCursor(3, 4);
    console.printf("%+6.3f", -9999.999);
    EXPECT_EQ(console.screen().rowText(4).substr(3, 9), "-9999.999");
}

class ConsoleDumpTest : public ::testing::Test {
  protected:
    test::ScratchStation station;
    Console console{"..\\tmp\\Console.txt"};
};

TEST_F(ConsoleDumpTest, RowsDownToTheCursorRowEachEightyWide) {
    console.print("TORVEN Data Collection Program.\nVersion 0.40\n\nStarting in 5 Second(s)\r");
    console.dumpConsole();
    EXPECT_EQ(station.readFile("tmp/Console.txt"),
              padded("TORVEN Data Collection Program.") + "\r\n" + padded("Version 0.40") + "\r\n" +
                  padded("") + "\r\n" + padded("Starting in 5 Second(s)") + "\r\n");
}

TEST_F(ConsoleDumpTest, CursorOnTheFirstRowGivesOneLineAndTheFileIsRewritten) {
    console.print(std::string(80 * 50, 'x'));
    console.dumpConsole();
    EXPECT_EQ(station.readFile("tmp/Console.txt").size(), 51u * 82u);

    console.setAlertColours();
    console.clearScreen();
    console.print("ERROR\xb0");
    console.dumpConsole();
    EXPECT_EQ(station.readFile("tmp/Console.txt"), padded("ERROR\xb0") + "\r\n");
}

TEST_F(ConsoleDumpTest, AFullScreenIsFiftyOneLines) {
    console.moveCursor(0, 50);
    console.print("bottom");
    console.dumpConsole();
    const std::string dump = station.readFile("tmp/Console.txt");
    ASSERT_EQ(dump.size(), 51u * 82u);
    EXPECT_EQ(dump.substr(50 * 82), padded("bottom") + "\r\n");
}

TEST_F(ConsoleDumpTest, AMissingFolderIsSkippedSilently) {
    std::filesystem::remove_all(station.path("tmp"));
    console.print("text");
    console.dumpConsole();
    EXPECT_FALSE(station.exists("tmp"));
    EXPECT_EQ(console.screen().rowText(0), padded("text"));
}

TEST(ConsoleKeys, PollAndWaitTakeWholeKeys) {
    Console console("..\\tmp\\Console.txt");
    EXPECT_EQ(console.pollKey(), 0);
    console.feedKeys("\x1b[A\x1b");
    EXPECT_EQ(console.pollKey(), up);
    EXPECT_EQ(console.pollKey(), 27);
    EXPECT_EQ(console.pollKey(), 0);
}

TEST(ConsoleKeys, WaitForKeyPromptsAndLeavesNothingOfATwoCodeKey) {
    Console console("..\\tmp\\Console.txt");
    console.feedKeys("\x1bOPx");
    EXPECT_EQ(console.waitForKey(), f1);
    EXPECT_EQ(console.screen().rowText(0), padded("Press a key to continue..."));
    EXPECT_EQ(console.pollKey(), 'x');
    EXPECT_EQ(console.pollKey(), 0);
}

TEST(ConsoleKeys, WaitForAnyKeyEndsWithoutInput) {
    Console console("..\\tmp\\Console.txt");
    EXPECT_EQ(console.waitForAnyKey(), 0);
    EXPECT_EQ(console.screen().rowText(0), padded(""));
}

TEST(ConsoleKeys, TheProgramLockIsFreeWhileWaitingForAKey) {
    test::RedirectedStandardStreams streams;
    Console console("..\\tmp\\Console.txt");
    console.attachToTerminal();
    platform::ProgramLock::acquire();
    std::atomic<bool> otherRan{false};
    // The other thread can type the key only once it has had the lock.
    std::thread other([&] {
        platform::ProgramLock::acquire();
        otherRan = true;
        EXPECT_TRUE(streams.type('k'));
        platform::ProgramLock::release();
    });
    EXPECT_EQ(console.waitForAnyKey(), 'k');
    EXPECT_TRUE(otherRan.load());
    EXPECT_TRUE(platform::ProgramLock::heldByThisThread());
    other.join();
    platform::ProgramLock::release();
    console.detachFromTerminal();
}

}  // namespace
}  // namespace torven
