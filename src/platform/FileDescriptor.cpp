#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace torven::platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        close();
        descriptor_ = other.release();
    }
    return *this;
}

int FileDescriptor::release() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor;
}

bool FileDescriptor::writeAll(std::string_view bytes) const {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::optional<std::string> FileDescriptor::readFrom(std::uint64_t offset) const {
    std::string content;
    char buffer[65536];
    auto position = static_cast<off_t>(offset);
    for (;;) {
        const ssize_t count = ::pread(descriptor_, buffer, sizeof buffer, position);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(count));
        position += count;
    }
}

std::optional<std::uint64_t> FileDescriptor::size() const {
    struct stat status {};
    if (::fstat(descriptor_, &status) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

bool FileDescriptor::close() {
    if (descriptor_ < 0)
        return true;
    // After close(2) the descriptor is released whatever it reports, so it is never retried.
    return ::close(release()) == 0;
}

FileDescriptor openDescriptor(const std::string& hostFilePath, int flags) {
    int descriptor;
    do {
        descriptor = ::open(hostFilePath.c_str(), flags | O_CLOEXEC, 0644);
    } while (descriptor < 0 && errno == EINTR);
    return FileDescriptor(descriptor);
}

}  // namespace torven::platform
