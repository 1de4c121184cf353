#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Keyboard.h"
#include "platform/Terminal.h"
#include "platform/TextFormat.h"

namespace torven {

// Colour indexes 0-15 of the console palette (black, red, green, blue, cyan, magenta,
// yellow, white, then their bright forms).
enum class ColourIndex : std::uint8_t {
    Black = 0,
    Red,
    Green,
    Blue,
    Cyan,
    Magenta,
    Yellow,
    White,
    Grey,
    BrightRed,
    BrightGreen,
    BrightBlue,
    BrightCyan,
    BrightMagenta,
    BrightYellow,
    BrightWhite
};

// The console attribute (blue 1, green 2, red 4, intensity 8) of a foreground colour index.
std::uint8_t foregroundAttribute(ColourIndex colour);

// The program's one text console of 80 x 51 characters: clearing, cursor placement,
// colours, printed text, the dump of the screen into Console.txt and the keyboard.
// Everything printed is kept in a shadow screen, which the dump reads; the real terminal
// is drawn on only once attachToTerminal() found one.
class Console {
  public:
    explicit Console(std::string dumpPath);

    // Draws on standard output when it is a terminal, reads keys from standard input (in
    // raw mode when it is a terminal) and has a crash put the terminal back. Until then (and
    // in tests) only the shadow screen is kept and only fed keys arrive.
    void attachToTerminal();
    // Restores the terminal's settings, colours and cursor; the console going away does the
    // same.
    void detachFromTerminal();

    void clearScreen();
    void moveCursor(int x, int y);
    void sizeConsoleWindow(int right, int bottom);
    void setColours(ColourIndex foreground, ColourIndex background);
    void setNormalColours();     // bright white on black
    void setInverseColours();    // black on bright white
    void setAlertTextColours();  // bright red on black
    void setAlertColours();      // black on bright red
    void setHighlightColours();  // black on bright cyan

    void print(std::string_view text);
    template <typename... Args>
    void printf(const char* format, Args... args) {
        print(formatText(format, args...));
    }

    // Writes rows 0 to the cursor's row into the dump file, each as wide as the screen,
    // each ending in a line break. A file that cannot be opened is skipped silently.
    void dumpConsole();

    // 0 at once when no key is waiting, else the key's code (two-code keys as c + d * 256).
    int pollKey();
    // Prints "Press a key to continue..." and waits for one whole key press.
    int waitForKey();
    // Prints "Press a key to continue..." only, for a screen whose key comes from pollKey.
    void promptForKey();
    // Waits for one whole key press without a prompt; 0 at end of input.
    int waitForAnyKey();

    const platform::ScreenBuffer& screen() const { return terminal_.screen(); }
    // Keys typed into the console before anything from the keyboard (tests).
    void feedKeys(std::string_view bytes) { keyboard_.feed(bytes); }

  private:
    std::string dumpPath_;
    platform::Terminal terminal_;
    platform::Keyboard keyboard_;
};

}  // namespace torven
