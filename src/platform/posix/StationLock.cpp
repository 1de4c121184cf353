#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/NativeStationLock.h"

namespace torven::platform::native {

// flock rather than a record lock: it belongs to the open file, so a second opening of the
// file conflicts even within the same process, and closing any other descriptor of the
// file does not let go of it.
LockResult lockExclusively(const FileDescriptor& file) {
    int result = 0;
    do {
        result = ::flock(file.get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return LockResult::Locked;
    return errno == EWOULDBLOCK ? LockResult::HeldByAnother : LockResult::Failed;
}

long currentProcessId() {
    return static_cast<long>(::getpid());
}

std::string lastErrorText() {
    return std::strerror(errno);
}

}  // namespace torven::platform::native
