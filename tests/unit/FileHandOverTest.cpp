#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "collection/FileHandOver.h"
#include "config/SiteConfiguration.h"
#include "support/ScratchStation.h"
#include "support/UtcInstant.h"

namespace torven {
namespace {

using test::ScratchStation;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

const std::string yesterday = "20110503_181845_HT1_123456.csv";
const std::string today = "20110504_000000_HT1_123456.csv";
const std::string yesterdayContent = "# header\r\n2011-05-03 23:59:55, +1.234\r\n";
const std::string todayContent = "# header\r\n2011-05-04 00:00:00, +1.240\r\n";

class FileHandOverTest : public ::testing::Test {
  protected:
    FileHandOverTest() {
        site.modeController.clock.setTo(test::utcInstant(2011, 5, 4, 0, 0, 15));
        station.writeFile("tmp/" + yesterday, yesterdayContent);
        station.writeFile("tmp/" + today, todayContent);
        station.writeFile("tmp/Console.txt", "screen");
        // The running copies the writer keeps, as of an earlier row.
        station.writeFile("Data/" + yesterday, "# header\r\n");
        station.writeFile("Data/" + today, todayContent);
    }

    ScratchStation station;
    SiteConfiguration site;
};

TEST_F(FileHandOverTest, InDataCollectionOnlyEarlierDaysAreHandedOver) {
    handOverFiles(site, true);
    EXPECT_EQ(station.fileNames("ToSend"), Names{yesterday});
    EXPECT_EQ(station.readFile("ToSend/" + yesterday), yesterdayContent);
    EXPECT_EQ(station.fileNames("Data"), (Names{yesterday, today}));
    EXPECT_EQ(station.readFile("Data/" + yesterday), yesterdayContent);
    EXPECT_EQ(station.fileNames("tmp"), (Names{today, "Console.txt"}));
    EXPECT_EQ(station.readFile("tmp/" + today), todayContent);
    EXPECT_EQ(station.readFile("tmp/Console.txt"), "screen");
}

TEST_F(FileHandOverTest, StoppingHandsOverEveryFile) {
    handOverFiles(site, false);
    EXPECT_EQ(station.fileNames("ToSend"), (Names{yesterday, today}));
    EXPECT_EQ(station.fileNames("Data"), (Names{yesterday, today}));
    EXPECT_EQ(station.readFile("Data/" + today), todayContent);
    EXPECT_EQ(station.readFile("ToSend/" + today), todayContent);
    EXPECT_EQ(station.fileNames("tmp"), Names{"Console.txt"});
}

TEST_F(FileHandOverTest, WithoutAToSendFolderFilesOnlyMoveIntoData) {
    for (const bool plainFile : {false, true}) {
        SCOPED_TRACE(plainFile ? "plain file named ToSend" : "no ToSend");
        ScratchStation other;
        other.writeFile("tmp/" + yesterday, yesterdayContent);
        fs::remove(other.path("ToSend"));
        if (plainFile)
            other.writeFile("ToSend", "not a folder");
        handOverFiles(site, true);
        EXPECT_EQ(other.fileNames("Data"), Names{yesterday});
        EXPECT_EQ(other.readFile("Data/" + yesterday), yesterdayContent);
        EXPECT_TRUE(other.fileNames("tmp").empty());
        EXPECT_EQ(other.exists("ToSend"), plainFile);
    }
}

TEST_F(FileHandOverTest, WithoutADataFolderTheFileStaysInTmp) {
    fs::remove_all(station.path("Data"));
    handOverFiles(site, true);
    EXPECT_EQ(station.fileNames("tmp"), (Names{yesterday, today, "Console.txt"}));
    EXPECT_EQ(station.readFile("tmp/" + yesterday), yesterdayContent);
    // It reached ToSend, and is offered there again at the next hand-over.
    EXPECT_EQ(station.fileNames("ToSend"), Names{yesterday});
}

TEST_F(FileHandOverTest, AFileThatCouldNotBeCopiedToToSendStaysInTmpUntilItCan) {
    struct Obstacle {
        const char* name;
        std::string folder;
    };
    for (const Obstacle& obstacle :
         {Obstacle{"target is a folder", "ToSend/" + yesterday},
          Obstacle{"temporary name taken", "ToSend/." + yesterday + ".part"}}) {
        SCOPED_TRACE(obstacle.name);
        ScratchStation other;
        other.writeFile("tmp/" + yesterday, yesterdayContent);
        other.writeFile("Data/" + yesterday, "# header\r\n");
        fs::create_directories(other.path(obstacle.folder + "/inside"));

        handOverFiles(site, true);
        EXPECT_EQ(other.fileNames("tmp"), Names{yesterday});
        EXPECT_EQ(other.readFile("Data/" + yesterday), "# header\r\n");
        EXPECT_TRUE(other.fileNames("ToSend").empty());

        fs::remove_all(other.path(obstacle.folder));
        handOverFiles(site, true);
        EXPECT_TRUE(other.fileNames("tmp").empty());
        EXPECT_EQ(other.readFile("ToSend/" + yesterday), yesterdayContent);
        EXPECT_EQ(other.readFile("Data/" + yesterday), yesterdayContent);
    }
}

TEST_F(FileHandOverTest, OnlyCsvNamesAreTouchedAndShortNamesAreNeverToday) {
    const Names others = {"Console.txt", "notes.csv.bak", "x.csvx"};
    for (const std::string& name : others)
        station.writeFile("tmp/" + name, name);
    station.writeFile("tmp/a.csv", "short");
    station.writeFile("tmp/2011050.csv", "seven digits");
    fs::create_directory(station.path("tmp/folder.csv"));

    handOverFiles(site, true);
    EXPECT_EQ(station.fileNames("ToSend"), (Names{"2011050.csv", yesterday, "a.csv"}));
    EXPECT_EQ(station.readFile("Data/a.csv"), "short");
    EXPECT_EQ(station.fileNames("tmp"), (Names{today, "Console.txt", "notes.csv.bak", "x.csvx"}));
    EXPECT_TRUE(fs::is_directory(station.path("tmp/folder.csv")));
}

TEST_F(FileHandOverTest, AMissingTmpFolderHandsOverNothing) {
    fs::remove_all(station.path("tmp"));
    handOverFiles(site, false);
    EXPECT_TRUE(station.fileNames("ToSend").empty());
    EXPECT_EQ(station.fileNames("Data"), (Names{yesterday, today}));
}

}  // namespace
}  // namespace torven
