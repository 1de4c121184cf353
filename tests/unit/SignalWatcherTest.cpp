#include <gtest/gtest.h>

#include "platform/SignalWatcher.h"

namespace torven::platform {
namespace {

TEST(SignalWatcher, EndsQuietlyWhenNoSignalCame) {
    bool called = false;
    {
        SignalWatcher watcher([&](StopSignal) { called = true; });
    }
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace torven::platform
