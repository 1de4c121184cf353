#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/Keyboard.h"
#include "support/PseudoTerminal.h"

namespace torven::platform {
namespace {

using test::PseudoTerminal;

constexpr int up = 224 + 72 * 256;
constexpr int f1 = 59 * 256;

termios settingsOf(int descriptor) {
    termios settings{};
    EXPECT_EQ(::tcgetattr(descriptor, &settings), 0);
    return settings;
}

TEST(Keyboard, RawModeWhileAttachedAndRestoredAfter) {
    PseudoTerminal pty(false);
    const termios before = settingsOf(pty.programSide());
    ASSERT_NE(before.c_lflag & ICANON, 0u);
    {
        Keyboard keyboard;
        keyboard.attach(pty.programSide());
        const termios raw = settingsOf(pty.programSide());
        EXPECT_EQ(raw.c_lflag & (ICANON | ECHO), 0u);
        EXPECT_NE(raw.c_lflag & ISIG, 0u);
        EXPECT_EQ(raw.c_cc[VMIN], 0);
        EXPECT_EQ(raw.c_cc[VTIME], 0);
    }
    const termios after = settingsOf(pty.programSide());
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
}

TEST(Keyboard, PollReturnsZeroWhenNothingWasTyped) {
    PseudoTerminal pty(false);
    Keyboard keyboard;
    keyboard.attach(pty.programSide());
    EXPECT_EQ(keyboard.pollKey(), 0);
    EXPECT_EQ(keyboard.pollKey(), 0);
}

TEST(Keyboard, TwoCodeKeyAtWaitLeavesNothingForTheNextPoll) {
    PseudoTerminal pty(false);
    Keyboard keyboard;
    keyboard.attach(pty.programSide());
    pty.type("\x1b[A");
    EXPECT_EQ(keyboard.waitForKey(), up);
    EXPECT_EQ(keyboard.pollKey(), 0);
}

TEST(Keyboard, KeysTypedTogetherComeOneByOne) {
    PseudoTerminal pty(false);
    Keyboard keyboard;
    keyboard.attach(pty.programSide());
    pty.type("\x1bOPq\r\x1b[23~");
    EXPECT_EQ(keyboard.waitForKey(), f1);
    EXPECT_EQ(keyboard.pollKey(), 'q');
    EXPECT_EQ(keyboard.pollKey(), 13);
    EXPECT_EQ(keyboard.pollKey(), 224 + 133 * 256);
    EXPECT_EQ(keyboard.pollKey(), 0);
}

TEST(Keyboard, LoneEscapeIsTheEscapeKey) {
    PseudoTerminal pty(false);
    Keyboard keyboard;
    keyboard.attach(pty.programSide());
    pty.type("\x1b");
    EXPECT_EQ(keyboard.waitForKey(), 27);
    pty.type("\x1b");
    // Polled until the byte has come through: the Escape key once no more bytes follow.
    int key = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (key == 0 && std::chrono::steady_clock::now() < deadline) {
        key = keyboard.pollKey();
        if (key == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(key, 27);
}

TEST(Keyboard, HangUpEndsTheWait) {
    PseudoTerminal pty(false);
    Keyboard keyboard;
    keyboard.attach(pty.programSide());
    pty.hangUp();
    EXPECT_EQ(keyboard.waitForKey(), 0);
    EXPECT_EQ(keyboard.pollKey(), 0);
}

TEST(Keyboard, FedKeysComeBeforeTypedOnes) {
    PseudoTerminal pty(false);
    Keyboard keyboard;
    keyboard.attach(pty.programSide());
    keyboard.feed("a");
    pty.type("b");
    EXPECT_EQ(keyboard.waitForKey(), 'a');
    EXPECT_EQ(keyboard.waitForKey(), 'b');
}

}  // namespace
}  // namespace torven::platform
