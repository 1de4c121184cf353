#include "platform/FileSystem.h"

#include "platform/FileDescriptor.h"
#include "platform/NativeFileSystem.h"

namespace torven::platform {

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The hidden name beside target that a copy is built under: a leading dot and ".part", so
// that nobody looking for "*.csv" ever takes a half-copied file.
std::string temporaryNameFor(const std::string& hostTarget) {
    const std::size_t start = native::nameStart(hostTarget);
    return hostTarget.substr(0, start) + "." + hostTarget.substr(start) + ".part";
}

// The name of a staged copy without its leading dot and ".part"; empty when name is none.
std::string targetOfTemporaryName(std::string_view name) {
    constexpr std::string_view suffix = ".part";
    if (name.size() <= suffix.size() + 1 || name.front() != '.' || !endsWith(name, suffix))
        return "";
    return std::string(name.substr(1, name.size() - suffix.size() - 1));
}

bool isLongerHost(const std::string& hostFilePath, std::uint64_t size) {
    const std::optional<std::uint64_t> length = native::regularFileSize(hostFilePath);
    return length && *length > size;
}

// Renames and syncs the target's folder. The result says whether the rename was done: a
// folder that cannot be synced does not undo it.
native::RenameResult renameAndSync(const std::string& hostFrom, const std::string& hostTo) {
    const native::RenameResult result = native::renameReplacing(hostFrom, hostTo);
    if (result == native::RenameResult::Renamed)
        native::syncFolderOf(hostTo);
    return result;
}

bool cutBack(const std::string& hostFilePath, std::uint64_t size) {
    const FileDescriptor file = openFile(hostFilePath, OpenMode::Append);
    return file.isOpen() && file.truncate(size);
}

}  // namespace

std::optional<std::string> readWholeFile(const std::string& path) {
    const FileDescriptor file = openFile(hostPath(path), OpenMode::Read);
    if (!file.isOpen())
        return std::nullopt;
    return file.readFrom(0);
}

bool isLongerThan(const std::string& path, std::uint64_t size) {
    return isLongerHost(hostPath(path), size);
}

bool copyFileAtomically(const std::string& source, const std::string& target) {
    // Checked before the copy, so that a refused copy costs no more than two queries.
    const std::optional<std::uint64_t> sourceSize = native::regularFileSize(hostPath(source));
    if (!sourceSize || isLongerThan(target, *sourceSize))
        return false;
    if (!stageCopy(source, target))
        return false;
    if (publishStagedCopy(target))
        return true;
    removeStagedCopy(target);
    return false;
}

bool stageCopy(const std::string& source, const std::string& target) {
    const std::string temporary = temporaryNameFor(hostPath(target));
    const bool staged =
        native::copyToNewFile(hostPath(source), temporary) && native::syncFolderOf(temporary);
    if (!staged)
        native::removeHostFile(temporary);
    return staged;
}

bool publishStagedCopy(const std::string& target) {
    const std::string hostTarget = hostPath(target);
    const std::string temporary = temporaryNameFor(hostTarget);
    const std::optional<std::uint64_t> stagedSize = native::regularFileSize(temporary);
    if (!stagedSize || isLongerHost(hostTarget, *stagedSize))
        return false;
    return renameAndSync(temporary, hostTarget) == native::RenameResult::Renamed;
}

bool hasStagedCopy(const std::string& target) {
    return native::regularFileSize(temporaryNameFor(hostPath(target))).has_value();
}

bool removeStagedCopy(const std::string& target) {
    return native::removeHostFile(temporaryNameFor(hostPath(target)));
}

std::vector<std::string> stagedCopies(const std::string& directory) {
    std::vector<std::string> targets;
    for (const std::string& name : listFiles(directory, ".part")) {
        std::string target = targetOfTemporaryName(name);
        if (!target.empty())
            targets.push_back(std::move(target));
    }
    return targets;
}

bool extendCopy(const std::string& source, const std::string& target, std::uint64_t knownSize) {
    const std::optional<std::uint64_t> targetSize = fileSize(target);
    const std::optional<std::uint64_t> sourceSize = fileSize(source);
    if (!targetSize || !sourceSize || *targetSize != knownSize || *sourceSize < knownSize) {
        return copyFileAtomically(source, target);
    }
    if (*sourceSize == knownSize)
        return true;
    const FileDescriptor input = openFile(hostPath(source), OpenMode::Read);
    FileDescriptor output = openFile(hostPath(target), OpenMode::Append);
    if (!input.isOpen() || !output.isOpen())
        return copyFileAtomically(source, target);
    if (input.copyTo(output, knownSize) && output.close())
        return true;
    // A row the target got only in part is cut off again before the whole copy is tried,
    // so the target stays complete as of its last row even when that fails as well.
    output.close();
    cutBack(hostPath(target), knownSize);
    return copyFileAtomically(source, target);
}

bool nameFitsWithTemporaries(const std::string& name) {
    return temporaryNameFor(name).size() <= native::longestName();
}

bool removeFile(const std::string& path) {
    return native::removeHostFile(hostPath(path));
}

bool renameFile(const std::string& from, const std::string& to) {
    return native::renameReplacing(hostPath(from), hostPath(to)) == native::RenameResult::Renamed;
}

bool moveFile(const std::string& from, const std::string& to) {
    const std::string hostFrom = hostPath(from);
    const std::string hostTo = hostPath(to);
    const std::optional<std::uint64_t> size = native::regularFileSize(hostFrom);
    if (!size || isLongerHost(hostTo, *size))
        return false;
    switch (renameAndSync(hostFrom, hostTo)) {
        case native::RenameResult::Renamed:
            native::syncFolderOf(hostFrom);
            return true;
        case native::RenameResult::Failed:
            return false;
        case native::RenameResult::OtherFileSystem:
            break;
    }
    // The source goes only when the copy's folder entry is known to be on disk; otherwise a
    // power cut could take both.
    if (!copyFileAtomically(from, to) || !native::syncFolderOf(hostTo))
        return false;
    if (!native::removeHostFile(hostFrom))
        return false;
    native::syncFolderOf(hostFrom);
    return true;
}

}  // namespace torven::platform
