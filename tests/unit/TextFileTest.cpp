#include <gtest/gtest.h>

#include <string>

#include "platform/TextFile.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

using test::ScratchStation;

struct TextModeCase {
    std::string written;
    std::string stored;
};

class TextModeTest : public ::testing::TestWithParam<TextModeCase> {};

TEST_P(TextModeTest, EveryLineFeedIsStoredAsCarriageReturnLineFeed) {
    ScratchStation station;
    auto file = TextFile::openForWrite("..\\tmp\\lines.txt");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->write(GetParam().written));
    EXPECT_TRUE(file->close());
    EXPECT_EQ(station.readFile("tmp/lines.txt"), GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextModeTest,
    ::testing::Values(TextModeCase{"", ""}, TextModeCase{"no line end", "no line end"},
                      TextModeCase{"a\n", "a\r\n"}, TextModeCase{"\n\n", "\r\n\r\n"},
                      TextModeCase{"# h\n2011-05-03 18:18:45, +1.234\n",
                                   "# h\r\n2011-05-03 18:18:45, +1.234\r\n"},
                      // As Windows text mode does, a CR already in the text is kept.
                      TextModeCase{"x\r\n", "x\r\r\n"},
                      TextModeCase{std::string("nul\0byte\n", 9),
                                   std::string("nul\0byte\r\n", 10)}));

TEST(TextFileTest, AppendCreatesTheFileAndThenAddsToIt) {
    ScratchStation station;
    EXPECT_TRUE(appendText("..\\tmp\\log.txt", "one\n"));
    EXPECT_TRUE(appendText("..\\tmp\\log.txt", "two\n"));
    EXPECT_EQ(station.readFile("tmp/log.txt"), "one\r\ntwo\r\n");
}

TEST(TextFileTest, OpenForWriteReplacesTheContent) {
    ScratchStation station;
    station.writeFile("tmp/Console.txt", "an older and much longer screen\r\n");
    auto file = TextFile::openForWrite("..\\tmp\\Console.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 0u);
    EXPECT_TRUE(file->write("new\n"));
    EXPECT_TRUE(file->close());
    EXPECT_EQ(station.readFile("tmp/Console.txt"), "new\r\n");
}

TEST(TextFileTest, SizeCountsTheStoredBytes) {
    ScratchStation station;
    station.writeFile("tmp/data.csv", "12345");
    auto file = TextFile::openForAppend("..\\tmp\\data.csv");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 5u);
    EXPECT_TRUE(file->write("ab\n"));
    EXPECT_EQ(file->size(), 9u);
}

TEST(TextFileTest, TruncateCutsBackAndLaterWritesFollowTheCut) {
    ScratchStation station;
    auto file = TextFile::openForAppend("..\\tmp\\data.csv");
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write("kept\npartial ro"));
    EXPECT_TRUE(file->truncate(6));
    EXPECT_TRUE(file->write("next\n"));
    EXPECT_TRUE(file->close());
    EXPECT_EQ(station.readFile("tmp/data.csv"), "kept\r\nnext\r\n");
}

TEST(TextFileTest, LargeTextIsWrittenWhole) {
    ScratchStation station;
    const std::string line = "2011-05-03 18:18:45, +1.234\n";
    std::string text;
    while (text.size() < 3'000'000)
        text += line;
    EXPECT_TRUE(appendText("..\\Data\\big.csv", text));
    const auto lines = text.size() / line.size();
    EXPECT_EQ(station.readFile("Data/big.csv").size(), text.size() + lines);
}

TEST(TextFileTest, FilesThatCannotBeOpenedReportNone) {
    ScratchStation station;
    EXPECT_FALSE(TextFile::openForAppend("..\\NoSuchFolder\\x.txt"));
    EXPECT_FALSE(TextFile::openForWrite("..\\NoSuchFolder\\x.txt"));
    EXPECT_FALSE(appendText("..\\NoSuchFolder\\x.txt", "lost\n"));
    EXPECT_FALSE(appendText("..\\tmp", "a directory\n"));
    EXPECT_FALSE(station.exists("NoSuchFolder"));
}

TEST(TextFileTest, AClosedFileAcceptsNothingMore) {
    ScratchStation station;
    auto file = TextFile::openForAppend("..\\tmp\\x.txt");
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->close());
    EXPECT_FALSE(file->isOpen());
    EXPECT_FALSE(file->write("late\n"));
    EXPECT_FALSE(file->truncate(0));
    EXPECT_TRUE(file->close());
    EXPECT_EQ(station.readFile("tmp/x.txt"), "");
}

TEST(TextFileTest, AMovedFileIsClosedOnceByItsNewOwner) {
    ScratchStation station;
    auto opened = TextFile::openForAppend("..\\tmp\\x.txt");
    ASSERT_TRUE(opened);
    TextFile owner = std::move(*opened);
    EXPECT_FALSE(opened->isOpen());
    EXPECT_TRUE(owner.write("moved\n"));
    EXPECT_TRUE(owner.close());
    EXPECT_EQ(station.readFile("tmp/x.txt"), "moved\r\n");
}

}  // namespace
}  // namespace torven::platform
