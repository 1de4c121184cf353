#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/ProgramLock.h"

namespace torven::platform {
namespace {

// The lock is program-wide: every test gives it back before it ends.
class ProgramLockTest : public ::testing::Test {
  protected:
    void TearDown() override { ProgramLock::release(); }
};

TEST_F(ProgramLockTest, HeldOnlyByTheThreadThatTookIt) {
    EXPECT_FALSE(ProgramLock::heldByThisThread());
    ProgramLock::acquire();
    EXPECT_TRUE(ProgramLock::heldByThisThread());
    const bool heldElsewhere =
        std::async(std::launch::async, [] { return ProgramLock::heldByThisThread(); }).get();
    EXPECT_FALSE(heldElsewhere);
}

TEST_F(ProgramLockTest, AnotherThreadGetsTheLockOnlyWhileItIsReleased) {
    ProgramLock::acquire();
    std::atomic<bool> otherHasIt{false};
    std::promise<void> otherIsWaiting;
    std::thread other([&] {
        otherIsWaiting.set_value();
        ProgramLock::acquire();
        otherHasIt = true;
        ProgramLock::release();
    });
    otherIsWaiting.get_future().wait();
    EXPECT_FALSE(otherHasIt.load());

    // The wait runs without the lock, so the other thread gets it and ends meanwhile.
    const int result = ProgramLock::released([&] {
        other.join();
        return 7;
    });
    EXPECT_EQ(result, 7);
    EXPECT_TRUE(otherHasIt.load());
    EXPECT_TRUE(ProgramLock::heldByThisThread());
}

TEST_F(ProgramLockTest, ReleasedWithoutTheLockLeavesItFree) {
    ProgramLock::released([] {});
    ProgramLock::sleepReleased(1);
    EXPECT_FALSE(ProgramLock::heldByThisThread());
    const bool freeForOthers = std::async(std::launch::async, [] {
                                   ProgramLock::acquire();
                                   const bool held = ProgramLock::heldByThisThread();
                                   ProgramLock::release();
                                   return held;
                               }).get();
    EXPECT_TRUE(freeForOthers);
}

TEST_F(ProgramLockTest, SleepReleasedKeepsTheLockAfterwards) {
    ProgramLock::acquire();
    ProgramLock::sleepReleased(1);
    EXPECT_TRUE(ProgramLock::heldByThisThread());
}

}  // namespace
}  // namespace torven::platform
