#include <io.h>
#include <windows.h>

#include "platform/NativeStationLock.h"

namespace torven::platform::native {

// Windows locks are mandatory: a locked byte cannot be read by anyone else. The lock is taken
// on one byte far beyond the end of the file, so that the holder's id at its start stays
// readable. Locks belong to the handle, so a second opening conflicts even within the same
// process.
LockResult lockExclusively(const FileDescriptor& file) {
    OVERLAPPED farBeyondTheEnd{};
    farBeyondTheEnd.OffsetHigh = 0x7FFFFFFF;
    if (::LockFileEx(reinterpret_cast<HANDLE>(::_get_osfhandle(file.get())),
                     LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                     &farBeyondTheEnd)) {
        return LockResult::Locked;
    }
    const DWORD error = ::GetLastError();
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? LockResult::HeldByAnother
                                                                      : LockResult::Failed;
}

long currentProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

std::string lastErrorText() {
    const DWORD error = ::GetLastError();
    char text[256] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                         0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace torven::platform::native
