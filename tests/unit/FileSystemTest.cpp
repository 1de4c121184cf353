#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "platform/FileSystem.h"
#include "support/HostSystem.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

using test::ScratchStation;
using test::setModificationTime;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(FileSystemTest, FileStateTextFollowsEveryChangeOfTimeOrSize) {
    ScratchStation station;
    EXPECT_EQ(fileStateText("..\\Conf\\TORVEN_config.txt"), "NO FILE INFORMATION");

    station.writeConfig("SITE, Site = A\n");
    const fs::path config = station.path("Conf/TORVEN_config.txt");
    ASSERT_TRUE(setModificationTime(config, 1304446725, 100));
    const std::string first = fileStateText("..\\Conf\\TORVEN_config.txt");
    EXPECT_NE(first, "NO FILE INFORMATION");
    EXPECT_EQ(fileStateText("..\\Conf\\TORVEN_config.txt"), first);

    // An edit within the same second is still a change.
    ASSERT_TRUE(setModificationTime(config, 1304446725, 200));
    const std::string sameSecond = fileStateText("..\\Conf\\TORVEN_config.txt");
    EXPECT_NE(sameSecond, first);

    station.writeConfig("SITE, Site = B, Comments = longer\n");
    ASSERT_TRUE(setModificationTime(config, 1304446725, 200));
    EXPECT_NE(fileStateText("..\\Conf\\TORVEN_config.txt"), sameSecond);
}

TEST(FileSystemTest, IsDirectoryOnlyForDirectories) {
    ScratchStation station;
    station.writeFile("tmp/file.csv", "x");
    EXPECT_TRUE(isDirectory("..\\ToSend"));
    EXPECT_TRUE(isDirectory("..\\ToSend\\"));
    EXPECT_FALSE(isDirectory("..\\tmp\\file.csv"));
    EXPECT_FALSE(isDirectory("..\\Missing"));
}

TEST(FileSystemTest, SizeAndContentOfAFile) {
    ScratchStation station;
    const std::string content("bytes\0with\r\nanything", 20);
    station.writeFile("Data/x.csv", content);
    EXPECT_EQ(fileSize("..\\Data\\x.csv"), 20u);
    EXPECT_EQ(readWholeFile("..\\Data\\x.csv"), content);
    EXPECT_EQ(fileSize("..\\Data\\missing.csv"), std::nullopt);
    EXPECT_EQ(readWholeFile("..\\Data\\missing.csv"), std::nullopt);
}

TEST(FileSystemTest, ListFilesGivesRegularFilesWithTheSuffix) {
    ScratchStation station;
    station.writeFile("tmp/20110503_181845_HT1_123456.csv", "a");
    station.writeFile("tmp/a.csv", "b");
    station.writeFile("tmp/Console.txt", "c");
    station.writeFile("tmp/.20110504_000000_HT1_123456.csv.part", "d");
    station.writeFile("tmp/x.csvx", "e");
    fs::create_directory(station.path("tmp/folder.csv"));

    std::vector<std::string> names = listFiles("..\\tmp\\", ".csv");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"20110503_181845_HT1_123456.csv", "a.csv"}));
    EXPECT_TRUE(listFiles("..\\Missing\\", ".csv").empty());
    EXPECT_TRUE(listFiles("..\\Data\\", ".csv").empty());
}

TEST(FileSystemTest, AtomicCopyReplacesTheTargetAndLeavesNoTemporaryFile) {
    ScratchStation station;
    station.writeFile("tmp/d.csv", "new content\r\n");
    station.writeFile("ToSend/d.csv", "old");
    EXPECT_TRUE(copyFileAtomically("..\\tmp\\d.csv", "..\\ToSend\\d.csv"));
    EXPECT_EQ(station.readFile("ToSend/d.csv"), "new content\r\n");
    EXPECT_EQ(station.readFile("tmp/d.csv"), "new content\r\n");
    EXPECT_EQ(station.fileNames("ToSend"), std::vector<std::string>{"d.csv"});

    EXPECT_TRUE(copyFileAtomically("..\\tmp\\d.csv", "..\\Data\\d.csv"));
    EXPECT_EQ(station.readFile("Data/d.csv"), "new content\r\n");
}

TEST(FileSystemTest, FailedAtomicCopyLeavesTheTargetUntouched) {
    ScratchStation station;
    station.writeFile("tmp/d.csv", "new");
    station.writeFile("ToSend/d.csv", "old");

    EXPECT_FALSE(copyFileAtomically("..\\tmp\\missing.csv", "..\\ToSend\\d.csv"));
    EXPECT_FALSE(copyFileAtomically("..\\tmp\\d.csv", "..\\Missing\\d.csv"));

    // Something in the way of the temporary name.
    fs::create_directory(station.path("ToSend/.d.csv.part"));
    EXPECT_FALSE(copyFileAtomically("..\\tmp\\d.csv", "..\\ToSend\\d.csv"));
    EXPECT_EQ(station.readFile("ToSend/d.csv"), "old");
    EXPECT_TRUE(fs::is_directory(station.path("ToSend/.d.csv.part")));

    // A directory where the target should be: the rename fails, the temporary file goes.
    fs::create_directory(station.path("Data/d.csv"));
    fs::create_directory(station.path("Data/d.csv/inside"));
    EXPECT_FALSE(copyFileAtomically("..\\tmp\\d.csv", "..\\Data\\d.csv"));
    EXPECT_TRUE(fs::is_directory(station.path("Data/d.csv")));
    EXPECT_FALSE(station.exists("Data/.d.csv.part"));
}

TEST(FileSystemTest, ExtendCopyAppendsOnlyTheNewBytesWhenTheTargetHasTheKnownSize) {
    ScratchStation station;
    station.writeFile("tmp/d.csv", "header\r\nrow 1\r\nrow 2\r\n");
    // Same size as the first two lines but different bytes: only an append keeps them.
    station.writeFile("Data/d.csv", "HEADER\r\nROW 1\r\n");
    EXPECT_TRUE(extendCopy("..\\tmp\\d.csv", "..\\Data\\d.csv", 15));
    EXPECT_EQ(station.readFile("Data/d.csv"), "HEADER\r\nROW 1\r\nrow 2\r\n");
}

TEST(FileSystemTest, ExtendCopyCopiesWholeWhenTheTargetDoesNotMatch) {
    struct Case {
        const char* name;
        std::optional<std::string> target;
        std::uint64_t knownSize;
    };
    const std::string source = "header\r\nrow 1\r\nrow 2\r\n";
    for (const Case& c :
         {Case{"missing target", std::nullopt, 15},
          Case{"missing target, empty before", std::nullopt, 0},
          Case{"older target", std::string("header\r\n"), 15},
          Case{"target longer than known", std::string("header\r\nrow 1\r\nX"), 15}}) {
        SCOPED_TRACE(c.name);
        ScratchStation station;
        station.writeFile("tmp/d.csv", source);
        if (c.target)
            station.writeFile("Data/d.csv", *c.target);
        EXPECT_TRUE(extendCopy("..\\tmp\\d.csv", "..\\Data\\d.csv", c.knownSize));
        EXPECT_EQ(station.readFile("Data/d.csv"), source);
        EXPECT_EQ(station.fileNames("Data"), std::vector<std::string>{"d.csv"});
    }
}

TEST(FileSystemTest, ExtendCopyNeverReplacesALongerCopy) {
    const std::string source = "header\r\nrow 1\r\nrow 2\r\n";
    for (const std::uint64_t knownSize : {std::uint64_t{15}, std::uint64_t{30}}) {
        ScratchStation station;
        station.writeFile("tmp/d.csv", source);
        station.writeFile("Data/d.csv", source + "row 3\r\n");
        EXPECT_FALSE(extendCopy("..\\tmp\\d.csv", "..\\Data\\d.csv", knownSize));
        EXPECT_EQ(station.readFile("Data/d.csv"), source + "row 3\r\n");
    }
}

TEST(FileSystemTest, ExtendCopyWithNothingNewLeavesTheTargetAlone) {
    ScratchStation station;
    station.writeFile("tmp/d.csv", "abc");
    station.writeFile("Data/d.csv", "xyz");
    EXPECT_TRUE(extendCopy("..\\tmp\\d.csv", "..\\Data\\d.csv", 3));
    EXPECT_EQ(station.readFile("Data/d.csv"), "xyz");
}

TEST(FileSystemTest, ExtendCopyFailsWhenNoCopyIsPossible) {
    ScratchStation station;
    station.writeFile("tmp/d.csv", "abc");
    EXPECT_FALSE(extendCopy("..\\tmp\\d.csv", "..\\Missing\\d.csv", 0));
    EXPECT_FALSE(extendCopy("..\\tmp\\missing.csv", "..\\Data\\d.csv", 0));
    EXPECT_FALSE(station.exists("Data/d.csv"));
}

TEST(FileSystemTest, RenameReplacesTheTargetAndRemoveDeletes) {
    ScratchStation station;
    station.writeFile("tmp/d.csv", "final");
    station.writeFile("Data/d.csv", "running copy");
    EXPECT_TRUE(renameFile("..\\tmp\\d.csv", "..\\Data\\d.csv"));
    EXPECT_FALSE(station.exists("tmp/d.csv"));
    EXPECT_EQ(station.readFile("Data/d.csv"), "final");
    EXPECT_FALSE(renameFile("..\\tmp\\d.csv", "..\\Data\\d.csv"));

    EXPECT_TRUE(removeFile("..\\Data\\d.csv"));
    EXPECT_FALSE(station.exists("Data/d.csv"));
    EXPECT_FALSE(removeFile("..\\Data\\d.csv"));
}

// A file reaches Data or ToSend whole and replaces a file of that name, unless that one is
// longer: then both stay.
TEST(FileSystemTest, CopiesAndMovesReplaceAnyTargetButALongerOne) {
    const std::string file = "header\r\nrow 1\r\n";
    const std::optional<std::string> targets[] = {std::nullopt, "header\r\n", "HEADER\r\nROW 1\r\n",
                                                  file + "row 2\r\n"};
    for (const char* way : {"copy", "move"}) {
        for (const std::optional<std::string>& target : targets) {
            SCOPED_TRACE(std::string(way) + " over " + target.value_or("nothing"));
            ScratchStation station;
            station.writeFile("tmp/d.csv", file);
            if (target)
                station.writeFile("Data/d.csv", *target);
            const bool replaces = !target || target->size() <= file.size();
            const bool copy = way == std::string("copy");
            EXPECT_EQ(copy ? copyFileAtomically("..\\tmp\\d.csv", "..\\Data\\d.csv")
                           : moveFile("..\\tmp\\d.csv", "..\\Data\\d.csv"),
                      replaces);
            EXPECT_EQ(station.readFile("Data/d.csv"), replaces ? file : *target);
            EXPECT_EQ(station.exists("tmp/d.csv"), copy || !replaces);
            EXPECT_EQ(station.fileNames("Data"), Names{"d.csv"});
        }
    }
}

TEST(FileSystemTest, AFailedMoveKeepsTheSource) {
    ScratchStation station;
    station.writeFile("tmp/d.csv", "file");
    fs::create_directories(station.path("Data/d.csv/inside"));
    EXPECT_FALSE(moveFile("..\\tmp\\d.csv", "..\\Data\\d.csv"));
    EXPECT_EQ(station.readFile("tmp/d.csv"), "file");
    EXPECT_TRUE(station.fileNames("Data").empty());
}

}  // namespace
}  // namespace torven::platform
