#include "platform/Terminal.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include "platform/TextFormat.h"

namespace torven::platform {

namespace {

constexpr const char* resetColours = "\x1b[0m";
constexpr const char* showCursor = "\x1b[?25h";
constexpr int stalledOutputMilliseconds = 1000;

// Writes all bytes, going on after interrupted and partial writes. A terminal that is gone
// or stalled loses the rest; the shadow screen is unaffected.
void writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && errno == EAGAIN) {
            pollfd ready{descriptor, POLLOUT, 0};
            if (::poll(&ready, 1, stalledOutputMilliseconds) > 0)
                continue;
        }
        return;
    }
}

// The ANSI colour number (0-7) of three console colour bits (blue 1, green 2, red 4).
int ansiColour(int consoleBits) {
    return ((consoleBits & 4) != 0 ? 1 : 0) | ((consoleBits & 2) != 0 ? 2 : 0) |
           ((consoleBits & 1) != 0 ? 4 : 0);
}

std::string selectGraphicRendition(std::uint8_t attribute) {
    const int foreground = attribute & 0x0F;
    const int background = attribute >> 4;
    const int foregroundCode = ((foreground & 8) != 0 ? 90 : 30) + ansiColour(foreground);
    const int backgroundCode = ((background & 8) != 0 ? 100 : 40) + ansiColour(background);
    return formatText("\x1b[0;%d;%dm", foregroundCode, backgroundCode);
}

std::string cursorPosition(int x, int y) {
    return formatText("\x1b[%d;%dH", y + 1, x + 1);
}

// What the terminal is sent for a cell: printable ASCII as it is, anything else as '?', so
// that printed text can never act on the terminal.
char shownCharacter(char character) {
    const auto byte = static_cast<unsigned char>(character);
    return byte >= 0x20 && byte <= 0x7E ? character : '?';
}

bool sameCell(const ScreenCell& a, const ScreenCell& b) {
    return a.character == b.character && a.attribute == b.attribute;
}

void appendAttribute(std::string& out, std::optional<std::uint8_t>& sent, std::uint8_t attribute) {
    if (sent == attribute)
        return;
    out += selectGraphicRendition(attribute);
    sent = attribute;
}

// The cells of screen that differ from shown (every cell without shown). The terminal's own
// cursor after a character is tracked so that runs of changed cells need no positioning;
// after the last column it is left unknown, since terminals differ in how they hold a
// pending wrap there.
void appendChangedCells(std::string& out, const ScreenBuffer& screen, const ScreenBuffer* shown,
                        std::optional<std::uint8_t>& sent) {
    int nextX = -1;
    int nextY = -1;
    for (int y = 0; y < ScreenBuffer::height; ++y) {
        for (int x = 0; x < ScreenBuffer::width; ++x) {
            const ScreenCell& cell = screen.cell(x, y);
            if (shown != nullptr && sameCell(cell, shown->cell(x, y)))
                continue;
            if (x != nextX || y != nextY)
                out += cursorPosition(x, y);
            appendAttribute(out, sent, cell.attribute);
            out += shownCharacter(cell.character);
            nextX = x + 1 < ScreenBuffer::width ? x + 1 : -1;
            nextY = y;
        }
    }
}

}  // namespace

bool Terminal::attach(int outputDescriptor) {
    detach();
    if (::isatty(outputDescriptor) == 0)
        return false;
    output_ = outputDescriptor;
    shownValid_ = false;
    flush();
    return true;
}

void Terminal::detach() {
    if (!attached())
        return;
    writeAll(output_, std::string(resetColours) + showCursor);
    output_ = -1;
    sentAttribute_.reset();
}

void Terminal::requestWindowSize(int columns, int rows) {
    if (!attached())
        return;
    writeAll(output_, formatText("\x1b[8;%d;%dt", rows, columns));
    // A terminal that resizes may move or drop what it shows; draw everything anew next time.
    shownValid_ = false;
    flush();
}

void Terminal::flush() {
    if (!attached())
        return;
    std::string out;
    if (!shownValid_) {
        out += std::string(resetColours) + "\x1b[H\x1b[2J";
        sentAttribute_.reset();
    }
    appendChangedCells(out, screen_, shownValid_ ? &shown_ : nullptr, sentAttribute_);
    appendAttribute(out, sentAttribute_, screen_.attribute());
    out += cursorPosition(screen_.cursorX(), screen_.cursorY());
    writeAll(output_, out);
    shown_ = screen_;
    shownValid_ = true;
}

}  // namespace torven::platform
