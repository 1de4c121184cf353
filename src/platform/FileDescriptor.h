#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torven::platform {

// An owned open file descriptor of the file layer, closed when the object goes away.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { close(); }

    bool isOpen() const { return descriptor_ >= 0; }
    int get() const { return descriptor_; }
    int release();

    // Writes every byte, resuming after partial writes and interruptions.
    bool writeAll(std::string_view bytes) const;
    // Reads from offset to the end of the file; none when a read fails.
    std::optional<std::string> readFrom(std::uint64_t offset) const;
    // The size of the open file; none when it cannot be read.
    std::optional<std::uint64_t> size() const;
    // Closes the descriptor; false when close reported an error (the descriptor is gone
    // either way).
    bool close();

  private:
    int descriptor_ = -1;
};

// Opens a host path (already through hostPath) with open(2) flags and O_CLOEXEC, mode 0644
// for a created file.
FileDescriptor openDescriptor(const std::string& hostFilePath, int flags);

}  // namespace torven::platform
