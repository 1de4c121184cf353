#include "console/Console.h"

#include <array>
#include <utility>

#include "platform/FileSystem.h"
#include "platform/ProgramLock.h"
#include "platform/SignalWatcher.h"
#include "platform/TextFile.h"

namespace torven {

namespace {

constexpr int standardInput = 0;
constexpr int standardOutput = 1;

// Console attribute bits: blue 1, green 2, red 4, intensity 8.
constexpr std::array<std::uint8_t, 16> foregroundValues = {0x0, 0x4, 0x2, 0x1, 0x3, 0x5, 0x6, 0x7,
                                                           0x8, 0xC, 0xA, 0x9, 0xB, 0xD, 0xE, 0xF};

}  // namespace

std::uint8_t foregroundAttribute(ColourIndex colour) {
    return foregroundValues[static_cast<std::size_t>(colour) % foregroundValues.size()];
}

Console::Console(std::string dumpPath) : dumpPath_(std::move(dumpPath)) {}

void Console::attachToTerminal() {
    terminal_.attach(standardOutput);
    keyboard_.attach(standardInput);
    platform::restoreTerminalOnCrash();
}

void Console::detachFromTerminal() {
    keyboard_.detach();
    terminal_.detach();
}

void Console::clearScreen() {
    terminal_.clear();
}

void Console::moveCursor(int x, int y) {
    terminal_.moveCursor(x, y);
}

void Console::sizeConsoleWindow(int right, int bottom) {
    terminal_.requestWindowSize(right + 1, bottom + 1);
}

void Console::setColours(ColourIndex foreground, ColourIndex background) {
    terminal_.setAttribute(static_cast<std::uint8_t>(foregroundAttribute(foreground) |
                                                     foregroundAttribute(background) << 4));
}

void Console::setNormalColours() {
    setColours(ColourIndex::BrightWhite, ColourIndex::Black);
}

void Console::setInverseColours() {
    setColours(ColourIndex::Black, ColourIndex::BrightWhite);
}

void Console::setAlertTextColours() {
    setColours(ColourIndex::BrightRed, ColourIndex::Black);
}

void Console::setAlertColours() {
    setColours(ColourIndex::Black, ColourIndex::BrightRed);
}

void Console::setHighlightColours() {
    setColours(ColourIndex::Black, ColourIndex::BrightCyan);
}

void Console::print(std::string_view text) {
    terminal_.write(text);
}

void Console::dumpConsole() {
    auto file = platform::TextFile::openForWrite(platform::hostPath(dumpPath_));
    if (!file)
        return;
    const platform::ScreenBuffer& shown = screen();
    std::string text;
    for (int row = 0; row <= shown.cursorY(); ++row)
        text += shown.rowText(row) + '\n';
    file->write(text);
    file->close();
}

int Console::pollKey() {
    return keyboard_.pollKey();
}

int Console::waitForKey() {
    promptForKey();
    return waitForAnyKey();
}

void Console::promptForKey() {
    print("Press a key to continue...");
}

// The program lock is let go while waiting, so that Control-C can end the program meanwhile.
int Console::waitForAnyKey() {
    return platform::ProgramLock::released([this] { return keyboard_.waitForKey(); });
}

}  // namespace torven
