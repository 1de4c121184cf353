#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/StationLock.h"
#include "shell/Program.h"
#include "support/ScratchStation.h"

namespace torven::platform {
namespace {

// Windows locks are mandatory: bytes under a lock cannot be read through any other handle.
// The holder's id must stay readable to another monitor or an operator all the same.
TEST(StationLockWin32Test, TheHoldersIdIsReadableThroughAnotherHandleWhileLocked) {
    test::ScratchStation station;
    const StationLock lock(stationLockFile);
    ASSERT_TRUE(lock.held()) << lock.problem();

    const std::string path = station.path("torven-monitor.lock").string();
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    char text[64] = {};
    DWORD count = 0;
    const BOOL read = ::ReadFile(file, text, sizeof text, &count, nullptr);
    const DWORD error = ::GetLastError();
    ::CloseHandle(file);
    ASSERT_TRUE(read) << "error " << error;
    EXPECT_EQ(std::string(text, count), std::to_string(::GetCurrentProcessId()) + "\n");
}

}  // namespace
}  // namespace torven::platform
