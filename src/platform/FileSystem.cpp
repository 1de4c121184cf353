#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>

#include "platform/FileDescriptor.h"

namespace torven::platform {

namespace {

std::optional<struct stat> statusOf(const std::string& path) {
    struct stat status {};
    if (::stat(hostPath(path).c_str(), &status) != 0)
        return std::nullopt;
    return status;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// The hidden name beside target that a copy is built under: a leading dot and ".part", so
// that nobody looking for "*.csv" ever takes a half-copied file.
std::string temporaryNameFor(const std::string& hostTarget) {
    const std::size_t slash = hostTarget.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return hostTarget.substr(0, nameStart) + "." + hostTarget.substr(nameStart) + ".part";
}

// The name of a staged copy without its leading dot and ".part"; empty when name is none.
std::string targetOfTemporaryName(std::string_view name) {
    constexpr std::string_view suffix = ".part";
    if (name.size() <= suffix.size() + 1 || name.front() != '.' || !endsWith(name, suffix))
        return "";
    return std::string(name.substr(1, name.size() - suffix.size() - 1));
}

std::string folderOf(const std::string& hostFilePath) {
    const std::size_t slash = hostFilePath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : hostFilePath.substr(0, slash);
}

// Brings the folder's entries to disk, so that a file renamed into it survives a power cut.
// A filesystem that cannot sync folders (EINVAL) keeps them by other means and counts as done.
bool syncFolderOf(const std::string& hostFilePath) {
    const FileDescriptor folder = openDescriptor(folderOf(hostFilePath), O_RDONLY | O_DIRECTORY);
    if (!folder.isOpen())
        return false;
    return ::fsync(folder.get()) == 0 || errno == EINVAL;
}

std::optional<std::uint64_t> regularFileSize(const std::string& hostFilePath) {
    struct stat status {};
    if (::stat(hostFilePath.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

bool isLongerHost(const std::string& hostFilePath, std::uint64_t size) {
    const std::optional<std::uint64_t> length = regularFileSize(hostFilePath);
    return length && *length > size;
}

// Renames and syncs the target's folder. The result says whether the rename was done: a
// folder that cannot be synced does not undo it.
bool renameAndSync(const std::string& hostFrom, const std::string& hostTo) {
    if (::rename(hostFrom.c_str(), hostTo.c_str()) != 0)
        return false;
    syncFolderOf(hostTo);
    return true;
}

bool isRegularEntry(DIR* directory, const dirent& entry) {
    if (entry.d_type == DT_REG)
        return true;
    if (entry.d_type != DT_UNKNOWN)
        return false;
    struct stat status {};
    return ::fstatat(::dirfd(directory), entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(status.st_mode);
}

struct DirectoryCloser {
    void operator()(DIR* directory) const { ::closedir(directory); }
};

// Copies the bytes of input from offset on to the end of output, a buffer at a time; a
// row appended to a data file fits one buffer and so reaches the target in one write.
bool copyBytes(const FileDescriptor& input, const FileDescriptor& output, std::uint64_t offset) {
    std::string buffer(64 * 1024, '\0');
    auto position = static_cast<off_t>(offset);
    for (;;) {
        const ssize_t count = ::pread(input.get(), buffer.data(), buffer.size(), position);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (!output.writeAll(std::string_view(buffer.data(), static_cast<std::size_t>(count)))) {
            return false;
        }
        position += count;
    }
}

bool cutBack(const std::string& hostFilePath, std::uint64_t size) {
    return ::truncate(hostFilePath.c_str(), static_cast<off_t>(size)) == 0;
}

}  // namespace

std::string hostPath(std::string_view path) {
    std::string host(path);
    std::replace(host.begin(), host.end(), '\\', '/');
    return host;
}

std::string fileStateText(const std::string& path) {
    const std::optional<struct stat> status = statusOf(path);
    if (!status)
        return "NO FILE INFORMATION";
    char text[96];
    std::snprintf(text, sizeof text, "%lld.%09ld %lld",
                  static_cast<long long>(status->st_mtim.tv_sec), status->st_mtim.tv_nsec,
                  static_cast<long long>(status->st_size));
    return text;
}

bool isDirectory(const std::string& path) {
    const std::optional<struct stat> status = statusOf(path);
    return status && S_ISDIR(status->st_mode);
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    const std::optional<struct stat> status = statusOf(path);
    if (!status)
        return std::nullopt;
    return static_cast<std::uint64_t>(status->st_size);
}

std::optional<std::string> readWholeFile(const std::string& path) {
    const FileDescriptor file = openDescriptor(hostPath(path), O_RDONLY);
    if (!file.isOpen())
        return std::nullopt;
    return file.readFrom(0);
}

std::vector<std::string> listFiles(const std::string& directory, std::string_view suffix) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, DirectoryCloser> listing(::opendir(hostPath(directory).c_str()));
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string_view name = entry->d_name;
        if (endsWith(name, suffix) && isRegularEntry(listing.get(), *entry)) {
            names.emplace_back(name);
        }
    }
    return names;
}

bool isLongerThan(const std::string& path, std::uint64_t size) {
    return isLongerHost(hostPath(path), size);
}

bool copyFileAtomically(const std::string& source, const std::string& target) {
    // Checked before the copy, so that a refused copy costs no more than two queries.
    const std::optional<std::uint64_t> sourceSize = regularFileSize(hostPath(source));
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
    const FileDescriptor input = openDescriptor(hostPath(source), O_RDONLY);
    if (!input.isOpen())
        return false;
    const std::string temporary = temporaryNameFor(hostPath(target));
    FileDescriptor output = openDescriptor(temporary, O_WRONLY | O_CREAT | O_TRUNC);
    if (!output.isOpen())
        return false;
    const bool staged = copyBytes(input, output, 0) && ::fdatasync(output.get()) == 0 &&
                        output.close() && syncFolderOf(temporary);
    if (!staged)
        ::unlink(temporary.c_str());
    return staged;
}

bool publishStagedCopy(const std::string& target) {
    const std::string hostTarget = hostPath(target);
    const std::string temporary = temporaryNameFor(hostTarget);
    const std::optional<std::uint64_t> stagedSize = regularFileSize(temporary);
    if (!stagedSize || isLongerHost(hostTarget, *stagedSize))
        return false;
    return renameAndSync(temporary, hostTarget);
}

bool hasStagedCopy(const std::string& target) {
    return regularFileSize(temporaryNameFor(hostPath(target))).has_value();
}

bool removeStagedCopy(const std::string& target) {
    return ::unlink(temporaryNameFor(hostPath(target)).c_str()) == 0;
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
    const FileDescriptor input = openDescriptor(hostPath(source), O_RDONLY);
    FileDescriptor output = openDescriptor(hostPath(target), O_WRONLY | O_APPEND);
    if (!input.isOpen() || !output.isOpen())
        return copyFileAtomically(source, target);
    if (copyBytes(input, output, knownSize) && output.close())
        return true;
    // A row the target got only in part is cut off again before the whole copy is tried,
    // so the target stays complete as of its last row even when that fails as well.
    cutBack(hostPath(target), knownSize);
    return copyFileAtomically(source, target);
}

bool nameFitsWithTemporaries(const std::string& name) {
    return temporaryNameFor(name).size() <= NAME_MAX;
}

bool removeFile(const std::string& path) {
    return ::unlink(hostPath(path).c_str()) == 0;
}

bool renameFile(const std::string& from, const std::string& to) {
    return ::rename(hostPath(from).c_str(), hostPath(to).c_str()) == 0;
}

bool moveFile(const std::string& from, const std::string& to) {
    const std::string hostFrom = hostPath(from);
    const std::string hostTo = hostPath(to);
    const std::optional<std::uint64_t> size = regularFileSize(hostFrom);
    if (!size || isLongerHost(hostTo, *size))
        return false;
    if (renameAndSync(hostFrom, hostTo)) {
        syncFolderOf(hostFrom);
        return true;
    }
    if (errno != EXDEV)
        return false;
    // The source goes only when the copy's folder entry is known to be on disk; otherwise a
    // power cut could take both.
    if (!copyFileAtomically(from, to) || !syncFolderOf(hostTo))
        return false;
    if (::unlink(hostFrom.c_str()) != 0)
        return false;
    syncFolderOf(hostFrom);
    return true;
}

}  // namespace torven::platform
