#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

using test::ScratchStation;
using Names = std::vector<std::string>;

TEST(FileSystemTest, HostPathKeepsThePathTextsAsTheyAre) {
    EXPECT_EQ(hostPath("..\\tmp\\20110503_181845_HT1_123456.csv"),
              "..\\tmp\\20110503_181845_HT1_123456.csv");
    EXPECT_EQ(hostPath("plain/path"), "plain/path");
}

// The system's own search for "*.csv" also matches the short 8.3 names that long names get
// ("f.csvx" is also "F~1.CSV"); only the long name may decide.
TEST(FileSystemTest, ListFilesNeverMatchesAShortName) {
    ScratchStation station;
    station.writeFile("tmp/f.csvx", "x");
    station.writeFile("tmp/20110503_181845_HT1_123456.csvbak", "x");
    station.writeFile("tmp/a.csv", "x");
    EXPECT_EQ(listFiles("..\\tmp", ".csv"), Names{"a.csv"});
}

}  // namespace
}  // namespace torven::platform
