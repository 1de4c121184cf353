#include <filesystem>

#include "FaultFixture.h"

namespace torven::test {
namespace {

class FolderLossTest : public FaultFixture {
  protected:
    std::size_t rowsIn(const std::string& relative) const {
        return wholeRows(station_.readFile(relative)).size();
    }

    // Waits until every file of `names` in tmp has `more` rows more than now.
    ::testing::AssertionResult rowsGrowBy(const std::vector<std::string>& names,
                                          std::size_t more) const {
        std::vector<std::size_t> before;
        for (const std::string& name : names)
            before.push_back(rowsIn("tmp/" + name));
        const bool grown = eventually(
            [&] {
                for (std::size_t i = 0; i < names.size(); ++i) {
                    if (rowsIn("tmp/" + names[i]) < before[i] + more)
                        return false;
                }
                return true;
            },
            screenTimeout);
        if (grown)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the files in tmp stopped growing";
    }

    // Waits until the Data copy of every file of `names` equals the file in tmp.
    ::testing::AssertionResult dataCopiesComplete(const std::vector<std::string>& names) const {
        const bool complete = eventually(
            [&] {
                for (const std::string& name : names) {
                    if (station_.readFile("Data/" + name) != station_.readFile("tmp/" + name))
                        return false;
                }
                return true;
            },
            screenTimeout);
        if (complete)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the Data copies did not catch up";
    }
};

// A file of an earlier day, for the hand-over at the next quarter minute.
const std::string oldFile = "20110503_181845_OLD_000001.csv";
const std::string oldContent = "# Site = Old\r\n2011-05-03 18:18:45, +1.234\r\n";

const std::string twoStreams = "SITE = Test Ridge\nDEVICE = DI-194RS, PORT = COM1\n" +
                               koraliChannelLine(1, "NR1", 1) + koraliChannelLine(2, "NR2", 1);

TEST_F(FolderLossTest, RowsGoOnInTmpAndTheFoldersCatchUpOnceBack) {
    namespace fs = std::filesystem;
    plugDevice(1, deviceVolts);
    writeConfig(twoStreams);
    startLaunchedMonitor();
    ASSERT_TRUE(streamShows("NR1_000123", "LOGGING"));
    ASSERT_TRUE(eventually([&] { return dataFiles("Data").size() == 2; }, screenTimeout));
    const std::vector<std::string> running = dataFiles("tmp");
    ASSERT_EQ(running.size(), 2u) << joinLines(running);

    // Without ToSend nothing of today is handed over anyway; rows go on.
    fs::remove_all(station_.path("ToSend"));
    ASSERT_TRUE(rowsGrowBy(running, 2));
    fs::create_directory(station_.path("ToSend"));

    // Without Data the copies fail, the rows still go into tmp, and the earlier day's file
    // waits in tmp as it is: it goes to ToSend only together with its move into Data.
    fs::remove_all(station_.path("Data"));
    station_.writeFile("tmp/" + oldFile, oldContent);
    ASSERT_TRUE(rowsGrowBy(running, 3));
    ASSERT_TRUE(clockAdvances(16));
    EXPECT_EQ(station_.readFile("tmp/" + oldFile), oldContent);
    EXPECT_FALSE(station_.exists("ToSend/" + oldFile));
    EXPECT_FALSE(station_.exists("Data")) << "the program made a folder of its own";
    const std::map<std::string, std::string> writtenWithoutData = filesIn("tmp");
    EXPECT_TRUE(streamShows("NR1_000123", "LOGGING")) << "a failed copy is no write error";

    // Back again: the next row brings each Data copy up to the whole file, and the next
    // quarter minute moves the earlier day's file.
    fs::create_directory(station_.path("Data"));
    ASSERT_TRUE(dataCopiesComplete(running));
    ASSERT_TRUE(eventually([&] { return !station_.exists("tmp/" + oldFile); }, screenTimeout));
    EXPECT_EQ(station_.readFile("Data/" + oldFile), oldContent);
    EXPECT_EQ(station_.readFile("ToSend/" + oldFile), oldContent);

    EXPECT_EQ(quit(), 0);
    EXPECT_TRUE(terminalGivenBack());
    expectEverythingHandedOver();
    EXPECT_EQ(dataFiles("Data").size(), 3u) << joinLines(dataFiles("Data"));
    EXPECT_TRUE(keepsEveryRowOf(station_, "Data", writtenWithoutData));
    EXPECT_EQ(logMessages("WARN"),
              std::vector<std::string>{"Can't hand over files: ..\\Data\\ missing"});
}

}  // namespace
}  // namespace torven::test
