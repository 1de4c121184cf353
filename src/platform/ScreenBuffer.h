#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace torven::platform {

struct ScreenCell {
    char character = ' ';
    std::uint8_t attribute = 0x0F;
};

// The program's own copy of the console: 80 x 51 cells of character and attribute, with a
// cursor and a current attribute. Printed bytes are processed as the Win32 console's
// processed output does: LF goes to the start of the next row, CR to the start of the row,
// TAB fills spaces up to the next multiple of 8, BS goes one column left (never past the
// first), BEL does nothing; every other byte takes one cell as printed. Writing into the last
// column wraps to the next row, and moving past the last row scrolls the buffer up by one
// row, the new last row blank in the current attribute. Cursor positions are clamped to the
// screen.
class ScreenBuffer {
  public:
    static constexpr int width = 80;
    static constexpr int height = 51;

    void write(std::string_view bytes);
    // Every cell becomes a space in the current attribute; the cursor goes to (0, 0).
    void clear();
    void moveCursor(int x, int y);
    void setAttribute(std::uint8_t attribute) { attribute_ = attribute; }

    std::uint8_t attribute() const { return attribute_; }
    int cursorX() const { return cursorX_; }
    int cursorY() const { return cursorY_; }
    const ScreenCell& cell(int x, int y) const;
    // The characters of one row, exactly `width` of them.
    std::string rowText(int y) const;

  private:
    void put(char character);
    void tab();
    void lineFeed();

    std::array<ScreenCell, width * height> cells_{};
    std::uint8_t attribute_ = 0x0F;
    int cursorX_ = 0;
    int cursorY_ = 0;
};

}  // namespace torven::platform
