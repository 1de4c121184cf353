#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "collection/FileHandOver.h"
#include "config/SiteConfiguration.h"
#include "support/FakeStream.h"
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
const std::string yesterdaySent = "." + yesterday + ".sent";

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

TEST_F(FileHandOverTest, WithoutADataFolderFilesWaitUntouchedUntilItIsBack) {
    fs::remove_all(station.path("Data"));
    for (int quarter = 0; quarter < 3; ++quarter)
        handOverFiles(site, true);
    EXPECT_EQ(station.fileNames("tmp"), (Names{yesterday, today, "Console.txt"}));
    EXPECT_EQ(station.readFile("tmp/" + yesterday), yesterdayContent);
    EXPECT_TRUE(station.fileNames("ToSend").empty());
    EXPECT_EQ(station.eventLogMessages(), Names{"Can't hand over files: ..\\Data\\ missing"});

    fs::create_directory(station.path("Data"));
    handOverFiles(site, true);
    EXPECT_EQ(station.fileNames("ToSend"), Names{yesterday});
    EXPECT_EQ(station.readFile("ToSend/" + yesterday), yesterdayContent);
    EXPECT_EQ(station.readFile("Data/" + yesterday), yesterdayContent);
    EXPECT_EQ(station.fileNames("tmp"), (Names{today, "Console.txt"}));
}

TEST_F(FileHandOverTest, AFileDataCannotTakeDoesNotGoToToSendEither) {
    fs::remove(station.path("Data/" + yesterday));
    fs::create_directories(station.path("Data/" + yesterday + "/inside"));
    handOverFiles(site, true);
    handOverFiles(site, true);
    EXPECT_EQ(station.readFile("tmp/" + yesterday), yesterdayContent);
    EXPECT_TRUE(station.fileNames("ToSend").empty());
    EXPECT_EQ(station.eventLogMessages(),
              Names{"Can't hand over file:" + yesterday + " Can't move it into ..\\Data\\"});

    fs::remove_all(station.path("Data/" + yesterday));
    handOverFiles(site, true);
    EXPECT_EQ(station.readFile("ToSend/" + yesterday), yesterdayContent);
    EXPECT_EQ(station.readFile("Data/" + yesterday), yesterdayContent);
    EXPECT_EQ(station.fileNames("tmp"), (Names{today, "Console.txt"}));
}

// What a crash leaves on the way of a file, and how the start and the next hand-over finish
// it: ToSend gets the file once, Data gets it whole, no hidden copy stays.
TEST_F(FileHandOverTest, AfterACrashEveryFileFinishesItsWayOnce) {
    struct State {
        const char* name;
        std::string inTmp;
        Names hiddenCopies;
        bool transferTookIt;
    };
    const std::string staged = "." + yesterday + ".part";
    for (const State& state :
         {State{"ToSend copy half made", yesterday, {"ToSend/" + staged, "Data/" + staged}, false},
          State{"marked as sent, ToSend copy staged", yesterdaySent, {"ToSend/" + staged}, false},
          State{"marked as sent, ToSend copy taken", yesterdaySent, {}, true}}) {
        SCOPED_TRACE(state.name);
        ScratchStation other;
        other.writeFile("tmp/" + state.inTmp, yesterdayContent);
        for (const std::string& copy : state.hiddenCopies) {
            other.writeFile(copy, state.inTmp == yesterday ? "# hea" : yesterdayContent);
        }
        removeInterruptedCopies(site);
        EXPECT_FALSE(other.exists("Data/" + staged));
        handOverFiles(site, true);
        EXPECT_EQ(other.fileNames("ToSend"), state.transferTookIt ? Names{} : Names{yesterday});
        EXPECT_EQ(other.readFile("ToSend/" + yesterday),
                  state.transferTookIt ? "" : yesterdayContent);
        EXPECT_EQ(other.fileNames("Data"), Names{yesterday});
        EXPECT_EQ(other.readFile("Data/" + yesterday), yesterdayContent);
        EXPECT_TRUE(other.fileNames("tmp").empty());
    }
}

TEST_F(FileHandOverTest, AFileNeverReplacesALongerOneOfItsName) {
    const std::string longer = yesterdayContent + "2011-05-03 23:59:59, +1.235\r\n";
    for (const std::string folder : {"Data", "ToSend"}) {
        SCOPED_TRACE(folder);
        ScratchStation other;
        SiteConfiguration freshSite;
        freshSite.modeController.clock.setTo(test::utcInstant(2011, 5, 4, 0, 0, 15));
        other.writeFile("tmp/" + yesterday, yesterdayContent);
        other.writeFile(folder + "/" + yesterday, longer);
        handOverFiles(freshSite, true);
        handOverFiles(freshSite, false);
        EXPECT_EQ(other.readFile("tmp/" + yesterday), yesterdayContent);
        EXPECT_EQ(other.readFile(folder + "/" + yesterday), longer);
        EXPECT_EQ(other.fileNames("Data").size() + other.fileNames("ToSend").size(), 1u);
        EXPECT_EQ(other.eventLogMessages(), Names{"Can't hand over file:" + yesterday +
                                                  " Longer file in ..\\" + folder + "\\"});
    }
}

TEST_F(FileHandOverTest, AStreamsCurrentFileIsHandedOverOnlyAtTheStop) {
    auto stream = std::make_unique<test::FakeStream>("HT1_123456", 1);
    site.modeController.clock.setTo(test::utcInstant(2011, 5, 4, 0, 0, 0));
    EXPECT_EQ(stream->dataFileName(site.modeController.clock), today);
    site.modeController.dataLogger.addType(std::move(stream));
    // The wall clock stepped back across midnight; the stream still writes its file.
    site.modeController.clock.setTo(test::utcInstant(2011, 5, 3, 23, 59, 45));
    handOverFiles(site, true);
    EXPECT_EQ(station.fileNames("tmp"), (Names{yesterday, today, "Console.txt"}));
    handOverFiles(site, false);
    EXPECT_EQ(station.fileNames("tmp"), Names{"Console.txt"});
    EXPECT_EQ(station.fileNames("ToSend"), (Names{yesterday, today}));
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
