#include "platform/StationLock.h"

#include <charconv>
#include <filesystem>

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "platform/NativeStationLock.h"

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
        file.writeAll(std::to_string(native::currentProcessId()) + "\n");
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
        problem_ = shownPath + " cannot be opened: " + native::lastErrorText();
        return;
    }
    switch (native::lockExclusively(file)) {
        case native::LockResult::Failed:
            problem_ = shownPath + " cannot be locked: " + native::lastErrorText();
            return;
        case native::LockResult::HeldByAnother:
            state_ = State::HeldByAnother;
            holderProcessId_ = processIdIn(file.readFrom(0).value_or(""));
            return;
        case native::LockResult::Locked:
            break;
    }
    state_ = State::Held;
    recordProcessId(file);
    file_ = std::make_unique<OpenFile>(std::move(file));
}

StationLock::~StationLock() = default;

}  // namespace torven::platform
