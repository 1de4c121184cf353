#include <gtest/gtest.h>

#include "support/DataFileCheck.h"

namespace torven::test {
namespace {

// The checks the end-to-end tests rely on to find a cut or lost row must themselves tell a
// whole file from a damaged one.

const std::string header = "# Site = Test Ridge\r\n#\r\n# UTC_StartTime = 2011-05-03 18:18:45\r\n";
const std::string row1 = "2011-05-03 18:18:45, +1.234\r\n";
const std::string row2 = "2011-05-03 18:18:50, -10.000\r\n";

struct FileCase {
    const char* what;
    std::string content;
    bool whole;
};

TEST(DataFileCheckTest, TellsWholeDataFilesFromDamagedOnes) {
    const std::vector<FileCase> cases{
        {"header and rows", header + row1 + row2, true},
        {"one row", header + row1, true},
        {"header only", header, false},
        {"no header", row1 + row2, false},
        {"empty", "", false},
        {"last row cut", header + row1 + "2011-05-03 18:18:50, -1", false},
        {"last row without CR", header + row1 + "2011-05-03 18:18:50, +1.000\n", false},
        {"last row without line end", header + row1 + "2011-05-03 18:18:50, +1.000", false},
        {"row cut in the middle", header + "2011-05-03 18:18:45, +1.2\r\n" + row2, false},
        {"header line after a row", header + row1 + "# Site = Other\r\n", false},
        {"two rows in one second", header + row1 + row1, false},
        {"rows out of order", header + row2 + row1, false},
        {"stray CR", header + "2011-05-03 18:18:45,\r +1.234\r\n", false},
    };
    for (const FileCase& file : cases)
        EXPECT_EQ(static_cast<bool>(isWholeDataFile(file.content)), file.whole) << file.what;
}

TEST(DataFileCheckTest, ACopyIsTheFileAsOfAWholeRow) {
    const std::string file = header + row1 + row2;
    EXPECT_TRUE(isWholeCopyOf(file, file));
    EXPECT_TRUE(isWholeCopyOf(header + row1, file));
    EXPECT_FALSE(isWholeCopyOf(header, file)) << "a header without its row";
    EXPECT_FALSE(isWholeCopyOf(header + row1 + "2011-05-03", file)) << "part of a row";
    EXPECT_FALSE(isWholeCopyOf(header + row2, file)) << "not an earlier state";
    EXPECT_FALSE(isWholeCopyOf(file + row1, file)) << "longer than the file";
}

TEST(DataFileCheckTest, WholeRowsLeaveOutAPartLastLineAndTheHeader) {
    EXPECT_EQ(
        wholeRows(header + row1 + row2),
        (std::vector<std::string>{"2011-05-03 18:18:45, +1.234", "2011-05-03 18:18:50, -10.000"}));
    EXPECT_EQ(wholeRows(header + row1 + "2011-05-03 18:18:50, -10.0"),
              std::vector<std::string>{"2011-05-03 18:18:45, +1.234"});
    EXPECT_EQ(upToLastLineEnd(header + row1 + "2011-05"), header + row1);
    EXPECT_EQ(upToLastLineEnd("2011-05"), "");
}

}  // namespace
}  // namespace torven::test
