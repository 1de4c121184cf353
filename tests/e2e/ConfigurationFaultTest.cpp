#include <filesystem>

#include "FaultFixture.h"

namespace torven::test {
namespace {

constexpr int alertBackground = 9;

class ConfigurationFaultTest : public FaultFixture {
  protected:
    // Waits for the red error box with the message, then until it has been drawn anew twice
    // (every draw rewrites the console dump), so that passes would have had time to write.
    ::testing::AssertionResult errorBoxStays(const std::string& message) const {
        if (auto shown = rowShows(6, "Message : ERROR: " + message); !shown)
            return shown;
        const std::vector<std::string> screen = monitor().capture();
        if (screen[3] != screenRow("*               ERROR                *"))
            return ::testing::AssertionFailure() << "no error box\n" << monitor().screenText();
        if (monitor().captureCells()[50][79].background != alertBackground)
            return ::testing::AssertionFailure() << "the screen is not red";
        const std::filesystem::path dump = station_.path("tmp/Console.txt");
        for (int draw = 0; draw < 2; ++draw) {
            const auto drawn = std::filesystem::last_write_time(dump);
            if (!eventually([&] { return std::filesystem::last_write_time(dump) != drawn; },
                            screenTimeout)) {
                return ::testing::AssertionFailure() << "the error box was not drawn anew";
            }
        }
        if (monitor().capture()[6] != screenRow("Message : ERROR: " + message))
            return ::testing::AssertionFailure() << "the box went\n" << monitor().screenText();
        return ::testing::AssertionSuccess();
    }

    // Waits until streams NR1 and NR2 each write rows into a new file, one that `earlier`
    // does not hold (a new start tag).
    ::testing::AssertionResult newFilesGrow(
        const std::map<std::string, std::string>& earlier) const {
        const auto grown = [&](const std::string& id) {
            for (const auto& [name, content] : filesIn("tmp")) {
                if (name.ends_with("_" + id + ".csv") && !earlier.contains(name) &&
                    wholeRows(content).size() >= 2) {
                    return true;
                }
            }
            return false;
        };
        if (eventually([&] { return grown("NR1_000123") && grown("NR2_000123"); }, screenTimeout))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no new files with rows; tmp holds\n"
                                             << joinLines(dataFiles("tmp"));
    }
};

const std::string twoStreams = "SITE = Test Ridge\nDEVICE = DI-194RS, PORT = COM1\n" +
                               koraliChannelLine(1, "NR1", 1) + koraliChannelLine(2, "NR2", 1);

TEST_F(ConfigurationFaultTest, NoRowWhileBrokenAndNewFilesOnceRepaired) {
    plugDevice(1, deviceVolts);
    writeConfig(twoStreams);
    startLaunchedMonitor();
    ASSERT_TRUE(streamShows("NR1_000123", "LOGGING"));
    ASSERT_TRUE(streamShows("NR2_000123", "LOGGING"));
    ASSERT_TRUE(eventually([&] { return dataFiles("Data").size() == 2; }, screenTimeout));

    // A keyword the loader does not know: no passes, so no rows, until the file is fixed.
    writeConfig("BOGUS = 1\n" + twoStreams);
    ASSERT_TRUE(rowShows(6, "Message : ERROR: Invalid configuration keyword: BOGUS"));
    const std::map<std::string, std::string> beforeBreak = filesIn("tmp");
    const std::map<std::string, std::string> copiesBeforeBreak = filesIn("Data");
    ASSERT_TRUE(errorBoxStays("Invalid configuration keyword: BOGUS"));
    EXPECT_EQ(filesIn("tmp"), beforeBreak) << "rows were written while the box showed";
    EXPECT_EQ(filesIn("Data"), copiesBeforeBreak);
    for (const auto& [name, content] : beforeBreak)
        EXPECT_EQ(copiesBeforeBreak.at(name), content) << name;

    // Repaired: the status screen comes back and every stream starts a new file.
    writeConfig("# repaired\n" + twoStreams);
    ASSERT_TRUE(streamShows("NR1_000123", "LOGGING"));
    EXPECT_NE(monitor().captureCells()[50][79].background, alertBackground);
    ASSERT_TRUE(newFilesGrow(beforeBreak));

    // The file itself gone for a while: the same wait, and new files again after it.
    const std::string missing = "Cannot open Site Configuration file: ..\\Conf\\TORVEN_config.txt";
    std::filesystem::remove(station_.path("Conf/TORVEN_config.txt"));
    ASSERT_TRUE(rowShows(6, "Message : ERROR: " + missing));
    const std::map<std::string, std::string> whileRemoved = filesIn("tmp");
    ASSERT_TRUE(errorBoxStays(missing));
    EXPECT_EQ(filesIn("tmp"), whileRemoved) << "rows were written while the box showed";
    writeConfig(twoStreams);
    ASSERT_TRUE(newFilesGrow(whileRemoved));

    EXPECT_EQ(quit(), 0);
    EXPECT_TRUE(terminalGivenBack());
    expectEverythingHandedOver();
    EXPECT_EQ(dataFiles("Data").size(), 6u) << joinLines(dataFiles("Data"));
    // The files of before the break were not touched again, and every row seen is kept.
    for (const auto& [name, content] : beforeBreak)
        EXPECT_EQ(station_.readFile("Data/" + name), content) << name;
    EXPECT_TRUE(keepsEveryRowOf(station_, "Data", whileRemoved));
    EXPECT_EQ(logMessages("ERROR"),
              (std::vector<std::string>{"Invalid configuration keyword: BOGUS", missing}));
}

}  // namespace
}  // namespace torven::test
