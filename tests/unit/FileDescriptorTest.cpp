#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

using test::ScratchStation;

const std::string file = hostPath("..\\tmp\\f.txt");

struct ModeCase {
    const char* name;
    OpenMode mode;
    std::optional<std::string> fromExisting;  // the content after writing "new"; none: no open
    std::optional<std::string> fromNothing;
};

// Every mode against an existing file holding "old content" and against no file.
TEST(FileDescriptorTest, EachModeOpensCreatesTruncatesOrAppendsAsItSays) {
    const ModeCase cases[] = {
        {"read", OpenMode::Read, "old content", std::nullopt},
        {"read-write", OpenMode::ReadWriteOrCreate, "new content", "new"},
        {"write new", OpenMode::WriteNew, "new", "new"},
        {"append", OpenMode::Append, "old contentnew", std::nullopt},
        {"append or create", OpenMode::AppendOrCreate, "old contentnew", "new"},
    };
    for (const ModeCase& c : cases) {
        for (const bool existing : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (existing ? " an existing file" : " no file"));
            ScratchStation station;
            if (existing)
                station.writeFile("tmp/f.txt", "old content");
            const std::optional<std::string>& expected = existing ? c.fromExisting : c.fromNothing;
            FileDescriptor opened = openFile(file, c.mode);
            ASSERT_EQ(opened.isOpen(), expected.has_value());
            if (c.mode != OpenMode::Read && opened.isOpen()) {
                EXPECT_TRUE(opened.writeAll("new"));
            }
            EXPECT_TRUE(opened.close());
            EXPECT_EQ(station.exists("tmp/f.txt"), expected.has_value());
            if (expected) {
                EXPECT_EQ(station.readFile("tmp/f.txt"), *expected);
            }
        }
    }
}

TEST(FileDescriptorTest, ReadAtLeavesTheFilePositionAlone) {
    ScratchStation station;
    const FileDescriptor opened = openFile(file, OpenMode::ReadWriteOrCreate);
    ASSERT_TRUE(opened.isOpen());
    ASSERT_TRUE(opened.writeAll("abc"));
    char byte = 0;
    EXPECT_EQ(opened.readAt(3, std::span(&byte, 1)), 0u);
    EXPECT_EQ(opened.readAt(1, std::span(&byte, 1)), 1u);
    EXPECT_EQ(byte, 'b');
    ASSERT_TRUE(opened.writeAll("d"));
    EXPECT_EQ(opened.readFrom(0), "abcd");
    EXPECT_EQ(opened.size(), 4u);
}

// Another program may rename or remove a file the monitor has open.
TEST(FileDescriptorTest, AnOpenFileCanBeRenamedAndRemoved) {
    ScratchStation station;
    FileDescriptor opened = openFile(file, OpenMode::AppendOrCreate);
    ASSERT_TRUE(opened.isOpen());
    ASSERT_TRUE(opened.writeAll("before"));
    ASSERT_TRUE(renameFile("..\\tmp\\f.txt", "..\\tmp\\g.txt"));
    EXPECT_TRUE(opened.writeAll(" after"));
    EXPECT_EQ(station.readFile("tmp/g.txt"), "before after");

    EXPECT_TRUE(removeFile("..\\tmp\\g.txt"));
    EXPECT_TRUE(opened.close());
    EXPECT_FALSE(station.exists("tmp/g.txt"));
}

}  // namespace
}  // namespace torven::platform
