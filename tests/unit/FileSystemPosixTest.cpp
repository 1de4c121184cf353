#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/FileSystem.h"
#include "support/ForeignFolder.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

using test::ForeignFolder;
using test::ScratchStation;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

TEST(FileSystemTest, HostPathTurnsBackslashesIntoSlashes) {
    EXPECT_EQ(hostPath("..\\tmp\\20110503_181845_HT1_123456.csv"),
              "../tmp/20110503_181845_HT1_123456.csv");
    EXPECT_EQ(hostPath("..\\ToSend"), "../ToSend");
    EXPECT_EQ(hostPath("plain/path"), "plain/path");
    EXPECT_EQ(hostPath(""), "");
}

TEST(FileSystemTest, ListFilesLeavesOutLinks) {
    ScratchStation station;
    station.writeFile("tmp/a.csv", "b");
    fs::create_symlink(station.path("tmp/a.csv"), station.path("tmp/link.csv"));
    EXPECT_EQ(listFiles("..\\tmp\\", ".csv"), Names{"a.csv"});
}

// Data or ToSend on another filesystem (a second disk, a network mount): a move is a copy
// and then a removal, with the same rule that a longer target is never replaced.
TEST(FileSystemTest, MovesToAnotherFilesystemReplaceAnyTargetButALongerOne) {
    const std::string file = "header\r\nrow 1\r\n";
    const std::optional<std::string> targets[] = {std::nullopt, "header\r\n", "HEADER\r\nROW 1\r\n",
                                                  file + "row 2\r\n"};
    for (const std::optional<std::string>& target : targets) {
        SCOPED_TRACE("move over " + target.value_or("nothing"));
        ScratchStation station;
        const ForeignFolder foreign;
        ASSERT_TRUE(foreign.linkFrom(station.path("Data")));
        station.writeFile("tmp/d.csv", file);
        if (target)
            station.writeFile("Data/d.csv", *target);
        const bool replaces = !target || target->size() <= file.size();
        EXPECT_EQ(moveFile("..\\tmp\\d.csv", "..\\Data\\d.csv"), replaces);
        EXPECT_EQ(station.readFile("Data/d.csv"), replaces ? file : *target);
        EXPECT_EQ(station.exists("tmp/d.csv"), !replaces);
        EXPECT_EQ(station.fileNames("Data"), Names{"d.csv"});
    }
}

TEST(FileSystemTest, AFailedMoveToAnotherFilesystemKeepsTheSource) {
    ScratchStation station;
    const ForeignFolder foreign;
    station.writeFile("tmp/d.csv", "file");
    fs::create_directories(foreign.path() / "d.csv/inside");
    ASSERT_TRUE(foreign.linkFrom(station.path("Data")));
    EXPECT_FALSE(moveFile("..\\tmp\\d.csv", "..\\Data\\d.csv"));
    EXPECT_EQ(station.readFile("tmp/d.csv"), "file");
    EXPECT_TRUE(station.fileNames("Data").empty());
}

}  // namespace
}  // namespace torven::platform
