#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileDescriptor.h"

namespace torven::platform {

// A file written in text mode: every line feed reaches the disk as CR LF. Paths are the
// program's texts ("..\tmp\x.csv"), turned into host paths on opening. The file is closed
// when the object goes away; close() reports whether everything reached the file.
class TextFile {
  public:
    // Opens for appending, creating the file when it does not exist.
    static std::optional<TextFile> openForAppend(const std::string& path);
    // Opens for writing, creating or truncating the file.
    static std::optional<TextFile> openForWrite(const std::string& path);

    bool isOpen() const { return file_.isOpen(); }
    // Current size of the file in bytes (the append position); 0 when it cannot be read.
    std::uint64_t size() const;
    // Writes all of text (LF stored as CR LF); false when not every byte was written.
    bool write(std::string_view text);
    // Cuts the file back to size bytes.
    bool truncate(std::uint64_t size);
    // Closes the file; false when the close reported an error.
    bool close() { return file_.close(); }

  private:
    explicit TextFile(FileDescriptor file) : file_(std::move(file)) {}
    static std::optional<TextFile> open(const std::string& path, OpenMode mode);

    FileDescriptor file_;
};

// Appends text to the file at path in text mode, creating it; false when that failed, and
// then no part of the text is left in the file.
bool appendText(const std::string& path, std::string_view text);

}  // namespace torven::platform
