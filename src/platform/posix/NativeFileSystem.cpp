#include "platform/NativeFileSystem.h"

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
#include "platform/FileSystem.h"

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

std::string folderOf(const std::string& hostFilePath) {
    const std::size_t slash = hostFilePath.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : hostFilePath.substr(0, slash);
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

}  // namespace

namespace native {

std::optional<std::uint64_t> regularFileSize(const std::string& hostFilePath) {
    struct stat status {};
    if (::stat(hostFilePath.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(status.st_size);
}

bool copyToNewFile(const std::string& hostSource, const std::string& hostTarget) {
    const FileDescriptor input = openFile(hostSource, OpenMode::Read);
    if (!input.isOpen())
        return false;
    FileDescriptor output = openFile(hostTarget, OpenMode::WriteNew);
    return output.isOpen() && input.copyTo(output, 0) && output.flushToDisk() && output.close();
}

// A file system that cannot sync folders (EINVAL) keeps them by other means.
bool syncFolderOf(const std::string& hostFilePath) {
    const int folder = ::open(folderOf(hostFilePath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return false;
    const bool synced = ::fsync(folder) == 0 || errno == EINVAL;
    ::close(folder);
    return synced;
}

RenameResult renameReplacing(const std::string& hostFrom, const std::string& hostTo) {
    if (::rename(hostFrom.c_str(), hostTo.c_str()) == 0)
        return RenameResult::Renamed;
    return errno == EXDEV ? RenameResult::OtherFileSystem : RenameResult::Failed;
}

bool removeHostFile(const std::string& hostFilePath) {
    return ::unlink(hostFilePath.c_str()) == 0;
}

std::size_t longestName() {
    return NAME_MAX;
}

std::size_t nameStart(const std::string& hostFilePath) {
    const std::size_t slash = hostFilePath.rfind('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace native

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

}  // namespace torven::platform
