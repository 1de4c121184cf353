#include <gtest/gtest.h>

#include <string>

#include "platform/ScreenBuffer.h"

namespace torven::platform {
namespace {

std::string spaces(std::size_t count) {
    return std::string(count, ' ');
}

TEST(ScreenBuffer, StartsBlankInBrightWhiteOnBlack) {
    ScreenBuffer screen;
    EXPECT_EQ(screen.rowText(0), spaces(80));
    EXPECT_EQ(screen.rowText(50), spaces(80));
    EXPECT_EQ(screen.cell(0, 0).attribute, 0x0F);
    EXPECT_EQ(screen.cursorX(), 0);
    EXPECT_EQ(screen.cursorY(), 0);
}

TEST(ScreenBuffer, TheLastColumnIsWrittenThenTheCursorWraps) {
    ScreenBuffer screen;
    screen.write(std::string(79, 'a'));
    EXPECT_EQ(screen.cursorX(), 79);
    EXPECT_EQ(screen.cursorY(), 0);
    screen.write("Z");
    EXPECT_EQ(screen.cell(79, 0).character, 'Z');
    EXPECT_EQ(screen.cursorX(), 0);
    EXPECT_EQ(screen.cursorY(), 1);
    screen.write("\n");  // a line feed right after the wrap gives an empty row
    EXPECT_EQ(screen.cursorY(), 2);
}

TEST(ScreenBuffer, LineFeedCarriageReturnAndBackspace) {
    ScreenBuffer screen;
    screen.write("Starting in 5 Second(s)\rStarting in 4");
    EXPECT_EQ(screen.rowText(0).substr(0, 24), "Starting in 4 Second(s) ");
    screen.write("\nab");
    EXPECT_EQ(screen.cursorX(), 2);
    EXPECT_EQ(screen.cursorY(), 1);
    screen.write("\b\bX\b\b\b\bY");
    EXPECT_EQ(screen.rowText(1).substr(0, 3), "Yb ");
    EXPECT_EQ(screen.cursorX(), 1);
}

TEST(ScreenBuffer, TabFillsSpacesToTheNextMultipleOfEight) {
    ScreenBuffer screen;
    screen.write(std::string(80, '#'));
    screen.moveCursor(0, 0);
    screen.write("ab\tc\t\td");
    EXPECT_EQ(screen.rowText(0).substr(0, 26), "ab      c               d#");
    EXPECT_EQ(screen.cursorX(), 25);

    screen.moveCursor(75, 2);
    screen.write("\tX");  // the tab stop after the last column is the next row
    EXPECT_EQ(screen.rowText(2).substr(75), spaces(5));
    EXPECT_EQ(screen.cell(0, 3).character, 'X');
}

TEST(ScreenBuffer, BellDoesNothingAndOtherBytesTakeOneCell) {
    ScreenBuffer screen;
    screen.write("a\ab\x1b\xe9\x7f");
    EXPECT_EQ(screen.rowText(0).substr(0, 6), "ab\x1b\xe9\x7f ");
    EXPECT_EQ(screen.cursorX(), 5);
}

TEST(ScreenBuffer, ScrollsAtTheBottomWithABlankRowInTheCurrentColours) {
    ScreenBuffer screen;
    for (int row = 0; row < 51; ++row)
        screen.write("row " + std::to_string(row) + "\n");
    // 51 line feeds from row 0: the last one scrolled once.
    EXPECT_EQ(screen.cursorY(), 50);
    EXPECT_EQ(screen.rowText(0).substr(0, 6), "row 1 ");
    EXPECT_EQ(screen.rowText(49).substr(0, 7), "row 50 ");
    EXPECT_EQ(screen.rowText(50), spaces(80));

    screen.setAttribute(0xC0);
    screen.write("last");
    screen.moveCursor(79, 50);
    screen.write("Z");  // the bottom right cell scrolls too
    EXPECT_EQ(screen.rowText(49).substr(0, 5), "last ");
    EXPECT_EQ(screen.cell(79, 49).character, 'Z');
    EXPECT_EQ(screen.cell(79, 49).attribute, 0xC0);
    EXPECT_EQ(screen.rowText(50), spaces(80));
    EXPECT_EQ(screen.cell(10, 50).attribute, 0xC0);
    EXPECT_EQ(screen.cell(10, 48).attribute, 0x0F);
    EXPECT_EQ(screen.cursorX(), 0);
    EXPECT_EQ(screen.cursorY(), 50);
}

TEST(ScreenBuffer, ClearPaintsEveryCellInTheCurrentColours) {
    ScreenBuffer screen;
    screen.write("text\nmore");
    screen.setAttribute(0xC0);
    screen.clear();
    EXPECT_EQ(screen.cursorX(), 0);
    EXPECT_EQ(screen.cursorY(), 0);
    for (int y = 0; y < ScreenBuffer::height; ++y) {
        EXPECT_EQ(screen.rowText(y), spaces(80));
        for (int x = 0; x < ScreenBuffer::width; ++x) {
            ASSERT_EQ(screen.cell(x, y).attribute, 0xC0) << x << "," << y;
        }
    }
}

TEST(ScreenBuffer, TextTakesTheAttributeCurrentWhenItWasWritten) {
    ScreenBuffer screen;
    screen.setAttribute(0xB0);
    screen.write("T");
    screen.setAttribute(0x0F);
    screen.write("n");
    EXPECT_EQ(screen.cell(0, 0).attribute, 0xB0);
    EXPECT_EQ(screen.cell(1, 0).attribute, 0x0F);
    EXPECT_EQ(screen.attribute(), 0x0F);
}

TEST(ScreenBuffer, CursorMovesAreClampedToTheScreen) {
    ScreenBuffer screen;
    screen.moveCursor(200, 70);
    EXPECT_EQ(screen.cursorX(), 79);
    EXPECT_EQ(screen.cursorY(), 50);
    screen.moveCursor(-3, -1);
    EXPECT_EQ(screen.cursorX(), 0);
    EXPECT_EQ(screen.cursorY(), 0);
    screen.moveCursor(12, 7);
    screen.write("here");
    EXPECT_EQ(screen.rowText(7).substr(12, 4), "here");
}

}  // namespace
}  // namespace torven::platform
