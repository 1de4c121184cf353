#include "platform/Terminal.h"

#include <io.h>
#include <windows.h>

#include <array>

namespace torven::platform {

namespace {

constexpr WORD plainColours = 0x07;

HANDLE handleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

// What the console is given for a cell: printable ASCII as it is, anything else as '?'.
char shownCharacter(char character) {
    const auto byte = static_cast<unsigned char>(character);
    return byte >= 0x20 && byte <= 0x7E ? character : '?';
}

bool sameRow(const ScreenBuffer& a, const ScreenBuffer& b, int y) {
    for (int x = 0; x < ScreenBuffer::width; ++x) {
        if (a.cell(x, y).character != b.cell(x, y).character ||
            a.cell(x, y).attribute != b.cell(x, y).attribute) {
            return false;
        }
    }
    return true;
}

// Writes rows first to last of the screen into the console's buffer in one call, which
// neither moves the console's cursor nor wraps or scrolls anything.
void writeRows(HANDLE console, const ScreenBuffer& screen, int first, int last) {
    std::array<CHAR_INFO, ScreenBuffer::width * ScreenBuffer::height> cells{};
    for (int y = first; y <= last; ++y) {
        for (int x = 0; x < ScreenBuffer::width; ++x) {
            CHAR_INFO& cell =
                cells[static_cast<std::size_t>((y - first) * ScreenBuffer::width + x)];
            cell.Char.AsciiChar = shownCharacter(screen.cell(x, y).character);
            cell.Attributes = screen.cell(x, y).attribute;
        }
    }
    const COORD size{static_cast<SHORT>(ScreenBuffer::width), static_cast<SHORT>(last - first + 1)};
    SMALL_RECT region{0, static_cast<SHORT>(first), static_cast<SHORT>(ScreenBuffer::width - 1),
                      static_cast<SHORT>(last)};
    ::WriteConsoleOutputA(console, cells.data(), size, COORD{0, 0}, &region);
}

void showCursor(HANDLE console) {
    CONSOLE_CURSOR_INFO cursor{};
    if (::GetConsoleCursorInfo(console, &cursor)) {
        cursor.bVisible = TRUE;
        ::SetConsoleCursorInfo(console, &cursor);
    }
}

}  // namespace

bool Terminal::attach(int outputDescriptor) {
    detach();
    const HANDLE console = handleOf(outputDescriptor);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode))
        return false;
    output_ = outputDescriptor;
    shownValid_ = false;
    flush();
    return true;
}

void Terminal::detach() {
    if (!attached())
        return;
    const HANDLE console = handleOf(output_);
    ::SetConsoleTextAttribute(console, plainColours);
    showCursor(console);
    output_ = -1;
    sentAttribute_.reset();
}

// The buffer is made the size of the window, so that the console shows the whole screen and
// nothing beside it. A buffer is never smaller than its window, so the window shrinks first.
void Terminal::requestWindowSize(int columns, int rows) {
    if (!attached())
        return;
    const HANDLE console = handleOf(output_);
    SMALL_RECT smallest{0, 0, 0, 0};
    ::SetConsoleWindowInfo(console, TRUE, &smallest);
    ::SetConsoleScreenBufferSize(console,
                                 COORD{static_cast<SHORT>(columns), static_cast<SHORT>(rows)});
    SMALL_RECT window{0, 0, static_cast<SHORT>(columns - 1), static_cast<SHORT>(rows - 1)};
    ::SetConsoleWindowInfo(console, TRUE, &window);
    shownValid_ = false;
    flush();
}

void Terminal::flush() {
    if (!attached())
        return;
    const HANDLE console = handleOf(output_);
    int first = ScreenBuffer::height;
    int last = -1;
    for (int y = 0; y < ScreenBuffer::height; ++y) {
        if (shownValid_ && sameRow(screen_, shown_, y))
            continue;
        first = std::min(first, y);
        last = y;
    }
    if (last >= 0)
        writeRows(console, screen_, first, last);
    if (sentAttribute_ != screen_.attribute()) {
        ::SetConsoleTextAttribute(console, screen_.attribute());
        sentAttribute_ = screen_.attribute();
    }
    ::SetConsoleCursorPosition(console, COORD{static_cast<SHORT>(screen_.cursorX()),
                                              static_cast<SHORT>(screen_.cursorY())});
    shown_ = screen_;
    shownValid_ = true;
}

}  // namespace torven::platform
