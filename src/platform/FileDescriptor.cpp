#include "platform/FileDescriptor.h"

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
        const std::optional<std::size_t> written = writeSome(bytes);
        if (!written)
            return false;
        bytes.remove_prefix(*written);
    }
    return true;
}

std::optional<std::string> FileDescriptor::readFrom(std::uint64_t offset) const {
    std::string content;
    char buffer[65536];
    for (;;) {
        const std::optional<std::size_t> count = readAt(offset, buffer);
        if (!count)
            return std::nullopt;
        if (*count == 0)
            return content;
        content.append(buffer, *count);
        offset += *count;
    }
}

bool FileDescriptor::copyTo(const FileDescriptor& output, std::uint64_t offset) const {
    std::string buffer(64 * 1024, '\0');
    for (;;) {
        const std::optional<std::size_t> count = readAt(offset, buffer);
        if (!count)
            return false;
        if (*count == 0)
            return true;
        if (!output.writeAll(std::string_view(buffer.data(), *count)))
            return false;
        offset += *count;
    }
}

}  // namespace torven::platform
