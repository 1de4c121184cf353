#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The program names files with the directory texts of a Windows station ("..\tmp\" + name).
// These functions take such texts and turn '\' into '/' where they touch the disk.
namespace torven::platform {

// The path as the disk knows it: every backslash becomes a slash.
std::string hostPath(std::string_view path);

// A text that differs whenever the file was modified: the modification time to the
// nanosecond and the size. "NO FILE INFORMATION" when the file's status cannot be read.
std::string fileStateText(const std::string& path);

bool isDirectory(const std::string& path);
std::optional<std::uint64_t> fileSize(const std::string& path);

// The whole content of a file, read as bytes; none when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);

// Names (without directory) of the regular files in a directory whose names end in
// suffix, in the order the directory lists them; empty when the directory cannot be read.
std::vector<std::string> listFiles(const std::string& directory, std::string_view suffix);

// Whether path is a regular file of more than size bytes. A data file is never replaced by
// a shorter one: copies and moves refuse to replace a longer file, so both stay.
bool isLongerThan(const std::string& path, std::uint64_t size);

// Copies source over target so that no other process ever sees a partial target: the
// bytes go to a hidden temporary name in the target's folder (never ending in ".csv"),
// are flushed, and the temporary file is renamed over the target, whose folder is then
// synced, so that after a power cut the target is whole or as it was. False on any failure
// and when target is longer than source; then the target is unchanged and no temporary
// file is left behind.
bool copyFileAtomically(const std::string& source, const std::string& target);

// The two halves of copyFileAtomically, for a copy that must be made before a decision
// and shown only after it. stageCopy builds the copy under the hidden temporary name of
// target, its data and folder entry synced to disk; on failure nothing is left under that
// name. publishStagedCopy renames the staged copy over target and syncs the folder; it
// refuses when target is longer than the staged copy, which then stays.
bool stageCopy(const std::string& source, const std::string& target);
bool publishStagedCopy(const std::string& target);
bool hasStagedCopy(const std::string& target);
bool removeStagedCopy(const std::string& target);
// The names of the targets in a folder for which a staged copy is there: left behind
// when a copy was interrupted, or waiting to be published.
std::vector<std::string> stagedCopies(const std::string& directory);

// Brings target up to date with source when target holds exactly the first
// `knownSize` bytes of source: appends the rest (a row's bytes in one write, so the cost
// does not grow with the file). Falls back to copyFileAtomically when the sizes do not
// match or the append failed (the partial append is cut off first). False when neither
// worked.
bool extendCopy(const std::string& source, const std::string& target, std::uint64_t knownSize);

// Whether a file of this name, and every hidden temporary name made from it while it is
// copied or moved, fits the file system's limit on the length of a name.
bool nameFitsWithTemporaries(const std::string& name);

bool removeFile(const std::string& path);
// rename(2): replaces an existing target atomically.
bool renameFile(const std::string& from, const std::string& to);

// Moves a file, replacing target unless target is longer (then false, both stay). On one
// filesystem a rename; across filesystems (Data on another disk or a network mount) a
// copyFileAtomically, and the source is removed only once the copy is on disk. The folders
// are synced, so that after a power cut the file is whole in one of them.
bool moveFile(const std::string& from, const std::string& to);

}  // namespace torven::platform
