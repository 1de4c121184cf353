#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "platform/Terminal.h"
#include "support/PseudoTerminal.h"

namespace torven::platform {
namespace {

using test::PseudoTerminal;
using test::TerminalOutput;

// Plays back what the terminal was sent, as an ECMA-48 terminal of 80 x 51 with a pending
// wrap at the last column would show it. Any sequence the mirror is not expected to send,
// and any raw control byte, is a failure.
class AnsiScreen {
  public:
    void play(const std::string& bytes) {
        for (std::size_t at = 0; at < bytes.size();)
            at = step(bytes, at);
    }

    char character(int x, int y) const { return cells_[index(x, y)].character; }
    int attribute(int x, int y) const { return cells_[index(x, y)].attribute; }
    int cursorX() const { return x_; }
    int cursorY() const { return y_; }
    const std::string& windowRequests() const { return windowRequests_; }

  private:
    struct Cell {
        char character = ' ';
        int attribute = -1;
    };

    static std::size_t index(int x, int y) { return static_cast<std::size_t>(y * 80 + x); }

    std::size_t step(const std::string& bytes, std::size_t at) {
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (byte == 0x1b)
            return sequence(bytes, at);
        if (byte < 0x20 || byte > 0x7e) {
            ADD_FAILURE() << "raw byte " << int(byte) << " sent to the terminal";
            return at + 1;
        }
        print(static_cast<char>(byte));
        return at + 1;
    }

    void print(char character) {
        if (pendingWrap_) {
            x_ = 0;
            pendingWrap_ = false;
            if (++y_ == 51)
                ADD_FAILURE() << "the terminal was made to scroll";
        }
        cells_[index(x_, y_)] =
            Cell{character, foreground_ < 0 ? -1 : foreground_ | background_ << 4};
        if (x_ == 79) {
            pendingWrap_ = true;
        } else {
            ++x_;
        }
    }

    std::size_t sequence(const std::string& bytes, std::size_t at) {
        if (at + 1 >= bytes.size() || bytes[at + 1] != '[') {
            ADD_FAILURE() << "unexpected escape sequence";
            return at + 1;
        }
        std::size_t end = at + 2;
        while (end < bytes.size() && (bytes[end] < 0x40 || bytes[end] > 0x7e))
            ++end;
        const std::string parameters = bytes.substr(at + 2, end - at - 2);
        control(parameters, bytes[end]);
        return end + 1;
    }

    static std::vector<int> numbers(const std::string& parameters) {
        std::vector<int> values{0};
        for (const char c : parameters) {
            if (c == ';') {
                values.push_back(0);
            } else {
                values.back() = values.back() * 10 + (c - '0');
            }
        }
        return values;
    }

    // The console bits (blue 1, green 2, red 4) of an ANSI colour number.
    static int consoleBits(int ansi) {
        return ((ansi & 1) != 0 ? 4 : 0) | ((ansi & 2) != 0 ? 2 : 0) | ((ansi & 4) != 0 ? 1 : 0);
    }

    void control(const std::string& parameters, char final) {
        if (parameters == "?25" && final == 'h')
            return;
        const std::vector<int> values = numbers(parameters);
        switch (final) {
            case 'H':
                y_ = values.at(0) - 1;
                x_ = values.size() > 1 ? values[1] - 1 : 0;
                pendingWrap_ = false;
                return;
            case 'J':
                EXPECT_EQ(parameters, "2");
                cells_.fill(Cell{' ', -1});
                return;
            case 'm':
                for (const int value : values)
                    graphicRendition(value);
                return;
            case 't':
                windowRequests_ += parameters + "t";
                return;
            default:
                ADD_FAILURE() << "unexpected control sequence ending in " << final;
        }
    }

    void graphicRendition(int value) {
        if (value == 0) {
            foreground_ = -1;
            background_ = 0;
        } else if (value >= 30 && value <= 37) {
            foreground_ = consoleBits(value - 30);
        } else if (value >= 90 && value <= 97) {
            foreground_ = consoleBits(value - 90) | 8;
        } else if (value >= 40 && value <= 47) {
            background_ = consoleBits(value - 40);
        } else if (value >= 100 && value <= 107) {
            background_ = consoleBits(value - 100) | 8;
        } else {
            ADD_FAILURE() << "unexpected rendition " << value;
        }
    }

    std::array<Cell, 80 * 51> cells_{};
    int x_ = 0;
    int y_ = 0;
    bool pendingWrap_ = false;
    int foreground_ = -1;
    int background_ = 0;
    std::string windowRequests_;
};

char shownCharacter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte <= 0x7e ? c : '?';
}

void expectSameScreen(const AnsiScreen& terminal, const ScreenBuffer& shadow) {
    int mismatches = 0;
    for (int y = 0; y < ScreenBuffer::height; ++y) {
        for (int x = 0; x < ScreenBuffer::width; ++x) {
            const ScreenCell& cell = shadow.cell(x, y);
            if (terminal.character(x, y) == shownCharacter(cell.character) &&
                terminal.attribute(x, y) == cell.attribute) {
                continue;
            }
            if (++mismatches <= 5) {
                ADD_FAILURE() << "cell " << x << "," << y << ": terminal '"
                              << terminal.character(x, y) << "'/" << terminal.attribute(x, y)
                              << ", shadow '" << cell.character << "'/" << int(cell.attribute);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(terminal.cursorX(), shadow.cursorX());
    EXPECT_EQ(terminal.cursorY(), shadow.cursorY());
}

class TerminalTest : public ::testing::Test {
  protected:
    PseudoTerminal pty{true};
    TerminalOutput output{pty};
    Terminal terminal;
    AnsiScreen shown;

    void expectTerminalMatchesShadow() {
        shown.play(output.takeOutput());
        expectSameScreen(shown, terminal.screen());
    }
};

TEST_F(TerminalTest, FirstDrawAfterAttachShowsTheWholeShadow) {
    terminal.write("written before the terminal was attached");
    terminal.setAttribute(0xC0);
    ASSERT_TRUE(terminal.attach(pty.programSide()));
    const std::string first = output.takeOutput();
    EXPECT_NE(first.find("\x1b[2J"), std::string::npos);
    shown.play(first);
    expectSameScreen(shown, terminal.screen());
}

TEST_F(TerminalTest, StaysInStepThroughWrapScrollColoursAndClear) {
    ASSERT_TRUE(terminal.attach(pty.programSide()));
    terminal.setAttribute(0x0F);
    terminal.write("Title\tcolumn\r\nsecond line\rSECOND\n");
    expectTerminalMatchesShadow();

    terminal.setAttribute(0xB0);
    terminal.write(std::string(79, 'w') + "XY");  // X in the last column, Y wraps
    terminal.setAttribute(0x0C);
    terminal.write(" red\b\bR\a");
    expectTerminalMatchesShadow();

    for (int line = 0; line < 60; ++line)
        terminal.write("line " + std::to_string(line) + "\n");
    expectTerminalMatchesShadow();

    terminal.setAttribute(0xC0);
    terminal.clear();
    terminal.write("on red");
    terminal.moveCursor(79, 50);
    terminal.write("Z");  // the bottom right cell scrolls the shadow, and the terminal with it
    expectTerminalMatchesShadow();
}

TEST_F(TerminalTest, PrintedEscapesAndHighBytesReachTheTerminalAsQuestionMarks) {
    ASSERT_TRUE(terminal.attach(pty.programSide()));
    output.takeOutput();
    terminal.write("A\x1b[31mB\x1b]0;title\x07\xe9\x7f");
    const std::string sent = output.takeOutput();
    for (const char* raw : {"\x1b[31m", "\x1b]0;", "\x07", "\xe9", "\x7f"}) {
        EXPECT_EQ(sent.find(raw), std::string::npos) << raw;
    }
    EXPECT_EQ(terminal.screen().rowText(0).substr(0, 18), "A\x1b[31mB\x1b]0;title\xe9\x7f");
    shown.play(sent);
    EXPECT_EQ(shown.character(1, 0), '?');
    EXPECT_EQ(shown.character(2, 0), '[');
}

TEST_F(TerminalTest, OnlyChangedCellsAreSent) {
    ASSERT_TRUE(terminal.attach(pty.programSide()));
    terminal.write(std::string(80 * 20, '#'));
    output.takeOutput();
    terminal.moveCursor(10, 5);
    terminal.write("ab");
    const std::string sent = output.takeOutput();
    EXPECT_EQ(sent, "\x1b[6;11H\x1b[6;11Hab\x1b[6;13H");
}

TEST_F(TerminalTest, AttributesBecomeAnsiColours) {
    ASSERT_TRUE(terminal.attach(pty.programSide()));
    output.takeOutput();
    const struct {
        std::uint8_t attribute;
        const char* rendition;
    } cases[] = {
        // The terminal starts in bright white on black, so that comes last.
        {0xF0, "\x1b[0;30;107m"}, {0x0C, "\x1b[0;91;40m"}, {0xC0, "\x1b[0;30;101m"},
        {0xB0, "\x1b[0;30;106m"}, {0x71, "\x1b[0;34;47m"}, {0x26, "\x1b[0;33;42m"},
        {0x0F, "\x1b[0;97;40m"},
    };
    for (const auto& c : cases) {
        terminal.setAttribute(c.attribute);
        terminal.write("x");
        EXPECT_NE(output.takeOutput().find(c.rendition), std::string::npos) << int(c.attribute);
    }
}

TEST_F(TerminalTest, WindowSizeRequestAndDetach) {
    ASSERT_TRUE(terminal.attach(pty.programSide()));
    terminal.write("kept");
    terminal.requestWindowSize(80, 51);
    const std::string afterRequest = output.takeOutput();
    shown.play(afterRequest);
    EXPECT_EQ(shown.windowRequests(), "8;51;80t");
    expectSameScreen(shown, terminal.screen());

    terminal.detach();
    EXPECT_FALSE(terminal.attached());
    EXPECT_EQ(output.takeOutput(), "\x1b[0m\x1b[?25h");
    terminal.write("after detach");
    EXPECT_EQ(output.takeOutput(), "");
    EXPECT_EQ(terminal.screen().rowText(0).substr(0, 16), "keptafter detach");
}

}  // namespace
}  // namespace torven::platform
