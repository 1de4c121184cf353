#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The few file operations whose calls differ between systems; FileSystem builds its copies,
// moves and hand-over guarantees on them. Paths are host paths (through hostPath).
namespace torven::platform::native {

// The size of a regular file; none for a folder, anything else or a file that cannot be read.
std::optional<std::uint64_t> regularFileSize(const std::string& hostFilePath);

// Writes a new file at target holding the bytes of source, and brings its data to disk;
// false when that failed (a part of the file may be left at target).
bool copyToNewFile(const std::string& hostSource, const std::string& hostTarget);

// Brings the entries of the file's folder to disk, so that a file renamed into it survives a
// power cut. A system or file system that keeps them by other means counts as done.
bool syncFolderOf(const std::string& hostFilePath);

enum class RenameResult { Renamed, OtherFileSystem, Failed };
// Renames a file, replacing an existing target atomically, with the rename on disk when
// the call returns wherever the system can promise that.
RenameResult renameReplacing(const std::string& hostFrom, const std::string& hostTo);

bool removeHostFile(const std::string& hostFilePath);

// The longest file name (without folder) the file systems take.
std::size_t longestName();

// The byte that starts a file name in a host path: the one after the last separator.
std::size_t nameStart(const std::string& hostFilePath);

}  // namespace torven::platform::native
