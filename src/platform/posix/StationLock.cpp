#include "platform/StationLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"

namespace torven::platform {

// The lock file stays open while the lock is held: closing it lets go of the lock.
class StationLock::OpenFile {
  public:
    explicit OpenFile(FileDescriptor opened) : descriptor(std::move(opened)) {}
    FileDescriptor descriptor;
};

namespace {

std::string absoluteFolderOf(const std::string& hostFilePath) {
    std::filesystem::path folder = std::filesystem::path(hostFilePath).parent_path();
    if (folder.empty())
        folder = ".";
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::canonical(folder, error);
    if (!error)
        return canonical.string();
    return std::filesystem::absolute(folder, error).lexically_normal().string();
}

// flock rather than a record lock: it belongs to the open file, so a second opening of the
// file conflicts even within the same process, and closing any other descriptor of the
// file does not let go of it.
bool lockWithoutWaiting(const FileDescriptor& file) {
    int result = 0;
    do {
        result = ::flock(file.get(), LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// The leading decimal number of the lock file's text; 0 when it starts with none.
long processIdIn(const std::string& text) {
    long id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    return error == std::errc{} && id > 0 ? id : 0;
}

// The id only names the holder to a monitor that is turned away; the lock alone keeps it
// out, so a failed write is no reason to give the station up.
void recordProcessId(const FileDescriptor& file) {
    if (file.truncate(0))
        file.writeAll(std::to_string(::getpid()) + "\n");
}

}  // namespace

StationLock::StationLock(const std::string& lockFilePath) {
    const std::string path = hostPath(lockFilePath);
    stationPath_ = absoluteFolderOf(path);
    const std::string shownPath =
        (std::filesystem::path(stationPath_) / std::filesystem::path(path).filename()).string();
    // Never truncated on opening: the holder's id stays readable for the one turned away.
    FileDescriptor file = openFile(path, OpenMode::ReadWriteOrCreate);
    if (!file.isOpen()) {
        problem_ = shownPath + " cannot be opened: " + std::strerror(errno);
        return;
    }
    if (!lockWithoutWaiting(file)) {
        if (errno != EWOULDBLOCK) {
            problem_ = shownPath + " cannot be locked: " + std::strerror(errno);
            return;
        }
        state_ = State::HeldByAnother;
        holderProcessId_ = processIdIn(file.readFrom(0).value_or(""));
        return;
    }
    state_ = State::Held;
    recordProcessId(file);
    file_ = std::make_unique<OpenFile>(std::move(file));
}

StationLock::~StationLock() = default;

}  // namespace torven::platform
