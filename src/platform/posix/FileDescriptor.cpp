#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace torven::platform {

namespace {

int openFlags(OpenMode mode) {
    switch (mode) {
        case OpenMode::Read:
            return O_RDONLY;
        case OpenMode::ReadWriteOrCreate:
            return O_RDWR | O_CREAT;
        case OpenMode::WriteNew:
            return O_WRONLY | O_CREAT | O_TRUNC;
        case OpenMode::Append:
            return O_WRONLY | O_APPEND;
        case OpenMode::AppendOrCreate:
            return O_WRONLY | O_APPEND | O_CREAT;
    }
    return O_RDONLY;
}

}  // namespace

std::optional<std::size_t> FileDescriptor::writeSome(std::string_view bytes) const {
    const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR)
        return 0;
    if (written <= 0)
        return std::nullopt;
    return static_cast<std::size_t>(written);
}

std::optional<std::size_t> FileDescriptor::readAt(std::uint64_t offset,
                                                  std::span<char> buffer) const {
    for (;;) {
        const ssize_t count =
            ::pread(descriptor_, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        return static_cast<std::size_t>(count);
    }
}

std::optional<std::uint64_t> FileDescriptor::size() const {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

bool FileDescriptor::truncate(std::uint64_t size) const {
    return ::ftruncate(descriptor_, static_cast<off_t>(size)) == 0;
}

bool FileDescriptor::flushToDisk() const {
    return ::fdatasync(descriptor_) == 0;
}

bool FileDescriptor::close() {
    if (descriptor_ < 0)
        return true;
    // After close(2) the descriptor is released whatever it reports, so it is never retried.
    return ::close(release()) == 0;
}

FileDescriptor openFile(const std::string& hostFilePath, OpenMode mode) {
    int descriptor;
    do {
        descriptor = ::open(hostFilePath.c_str(), openFlags(mode) | O_CLOEXEC, 0644);
    } while (descriptor < 0 && errno == EINTR);
    return FileDescriptor(descriptor);
}

}  // namespace torven::platform
