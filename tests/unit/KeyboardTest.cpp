#include <gtest/gtest.h>

#include "platform/Keyboard.h"
#include "support/HostSystem.h"

namespace torven::platform {
namespace {

using test::Pipe;

TEST(Keyboard, PipeInputIsReadAndItsEndEndsTheWait) {
    Pipe pipe;
    ASSERT_TRUE(pipe.write("x\x1b[6~"));
    pipe.closeWriteEnd();
    Keyboard keyboard;
    keyboard.attach(pipe.readEnd());
    EXPECT_EQ(keyboard.waitForKey(), 'x');
    EXPECT_EQ(keyboard.waitForKey(), 224 + 81 * 256);
    EXPECT_EQ(keyboard.waitForKey(), 0);
    EXPECT_EQ(keyboard.pollKey(), 0);
    keyboard.detach();
}

TEST(Keyboard, PipeInputIsNeverPolledAsAKey) {
    Pipe pipe;
    ASSERT_TRUE(pipe.write("q"));
    Keyboard keyboard;
    keyboard.attach(pipe.readEnd());
    EXPECT_EQ(keyboard.pollKey(), 0);
    EXPECT_EQ(keyboard.waitForKey(), 'q');
    keyboard.detach();
}

TEST(Keyboard, WithoutInputOnlyFedKeysArrive) {
    Keyboard keyboard;
    EXPECT_EQ(keyboard.pollKey(), 0);
    EXPECT_EQ(keyboard.waitForKey(), 0);
    keyboard.feed("\x1b[Bz\x1b");
    EXPECT_EQ(keyboard.waitForKey(), 224 + 80 * 256);
    EXPECT_EQ(keyboard.pollKey(), 'z');
    EXPECT_EQ(keyboard.pollKey(), 27);
    EXPECT_EQ(keyboard.pollKey(), 0);
}

}  // namespace
}  // namespace torven::platform
