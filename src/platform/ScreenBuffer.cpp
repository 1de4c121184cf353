#include "platform/ScreenBuffer.h"

#include <algorithm>

namespace torven::platform {

namespace {

constexpr int tabWidth = 8;

std::size_t cellIndex(int x, int y) {
    return static_cast<std::size_t>(y) * ScreenBuffer::width + static_cast<std::size_t>(x);
}

}  // namespace

void ScreenBuffer::write(std::string_view bytes) {
    for (const char byte : bytes) {
        switch (byte) {
            case '\n':  // the console shows a line feed as CR LF
                cursorX_ = 0;
                lineFeed();
                break;
            case '\r':
                cursorX_ = 0;
                break;
            case '\t':
                tab();
                break;
            case '\b':
                cursorX_ = std::max(cursorX_ - 1, 0);
                break;
            case '\a':
                break;
            default:
                put(byte);
        }
    }
}

void ScreenBuffer::clear() {
    cells_.fill(ScreenCell{' ', attribute_});
    cursorX_ = 0;
    cursorY_ = 0;
}

void ScreenBuffer::moveCursor(int x, int y) {
    cursorX_ = std::clamp(x, 0, width - 1);
    cursorY_ = std::clamp(y, 0, height - 1);
}

const ScreenCell& ScreenBuffer::cell(int x, int y) const {
    return cells_[cellIndex(std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1))];
}

std::string ScreenBuffer::rowText(int y) const {
    std::string text(width, ' ');
    for (int x = 0; x < width; ++x)
        text[static_cast<std::size_t>(x)] = cell(x, y).character;
    return text;
}

void ScreenBuffer::put(char character) {
    cells_[cellIndex(cursorX_, cursorY_)] = ScreenCell{character, attribute_};
    if (++cursorX_ == width) {
        cursorX_ = 0;
        lineFeed();
    }
}

// Like the Win32 console, a tab fills the cells up to the next tab stop with spaces; a tab
// stop past the last column is the start of the next row.
void ScreenBuffer::tab() {
    do {
        put(' ');
    } while (cursorX_ % tabWidth != 0);
}

void ScreenBuffer::lineFeed() {
    if (cursorY_ < height - 1) {
        ++cursorY_;
        return;
    }
    std::copy(cells_.begin() + width, cells_.end(), cells_.begin());
    std::fill(cells_.end() - width, cells_.end(), ScreenCell{' ', attribute_});
}

}  // namespace torven::platform
