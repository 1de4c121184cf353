#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace torven::platform {

// An owned open file of the C runtime (a descriptor; on Windows one that wraps the file's
// HANDLE), closed when the object goes away.
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
    // Reads up to buffer.size() bytes at offset without moving the file position; 0 at the
    // end of the file, none when the read fails.
    std::optional<std::size_t> readAt(std::uint64_t offset, std::span<char> buffer) const;
    // Writes the bytes of this file from offset to its end into output, a buffer at a time;
    // a row appended to a data file fits one buffer and so reaches output in one write.
    bool copyTo(const FileDescriptor& output, std::uint64_t offset) const;
    // The size of the open file; none when it cannot be read.
    std::optional<std::uint64_t> size() const;
    // Cuts the file back to size bytes.
    bool truncate(std::uint64_t size) const;
    // Brings the file's data to the disk.
    bool flushToDisk() const;
    // Closes the descriptor; false when close reported an error (the descriptor is gone
    // either way).
    bool close();

  private:
    // Writes some of bytes; the count written, 0 when it should be tried again, none on error.
    std::optional<std::size_t> writeSome(std::string_view bytes) const;

    int descriptor_ = -1;
};

enum class OpenMode {
    Read,
    ReadWriteOrCreate,  // never truncated
    WriteNew,           // created, or an existing file truncated
    Append,             // an existing file, every write at its end
    AppendOrCreate
};

// Opens a host path (already through hostPath); the descriptor is not inherited by child
// processes, and a created file may be read by everyone. Other openers may read, write, rename
// and remove the file while it is open.
FileDescriptor openFile(const std::string& hostFilePath, OpenMode mode);

}  // namespace torven::platform
