#include "platform/NativeFileSystem.h"

#include <windows.h>

#include <cinttypes>
#include <cstdio>
#include <memory>

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"

namespace torven::platform {

namespace {

std::optional<WIN32_FILE_ATTRIBUTE_DATA> attributesOf(const std::string& hostFilePath) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExA(hostFilePath.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return data;
}

std::uint64_t sizeOf(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool isFolder(const WIN32_FILE_ATTRIBUTE_DATA& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

struct FindCloser {
    void operator()(HANDLE search) const { ::FindClose(search); }
};

}  // namespace

namespace native {

std::optional<std::uint64_t> regularFileSize(const std::string& hostFilePath) {
    const auto data = attributesOf(hostFilePath);
    if (!data || isFolder(*data))
        return std::nullopt;
    return sizeOf(*data);
}

bool copyToNewFile(const std::string& hostSource, const std::string& hostTarget) {
    if (!::CopyFileA(hostSource.c_str(), hostTarget.c_str(), FALSE))
        return false;
    FileDescriptor copy = openFile(hostTarget, OpenMode::Append);
    return copy.isOpen() && copy.flushToDisk() && copy.close();
}

// Windows has no call that syncs a folder: its file systems log their folder entries, and
// renames are made with MOVEFILE_WRITE_THROUGH, which returns only once the rename is on disk.
bool syncFolderOf(const std::string&) {
    return true;
}

RenameResult renameReplacing(const std::string& hostFrom, const std::string& hostTo) {
    if (::MoveFileExA(hostFrom.c_str(), hostTo.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return RenameResult::Renamed;
    }
    return ::GetLastError() == ERROR_NOT_SAME_DEVICE ? RenameResult::OtherFileSystem
                                                     : RenameResult::Failed;
}

bool removeHostFile(const std::string& hostFilePath) {
    return ::DeleteFileA(hostFilePath.c_str()) != 0;
}

std::size_t longestName() {
    return 255;
}

std::size_t nameStart(const std::string& hostFilePath) {
    const std::size_t separator = hostFilePath.find_last_of("\\/");
    return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace native

// Windows takes the program's path texts as they are.
std::string hostPath(std::string_view path) {
    return std::string(path);
}

std::string fileStateText(const std::string& path) {
    const auto data = attributesOf(hostPath(path));
    if (!data)
        return "NO FILE INFORMATION";
    const std::uint64_t written =
        (static_cast<std::uint64_t>(data->ftLastWriteTime.dwHighDateTime) << 32) |
        data->ftLastWriteTime.dwLowDateTime;
    char text[64];
    std::snprintf(text, sizeof text, "%" PRIu64 " %" PRIu64, written, sizeOf(*data));
    return text;
}

bool isDirectory(const std::string& path) {
    const auto data = attributesOf(hostPath(path));
    return data && isFolder(*data);
}

std::optional<std::uint64_t> fileSize(const std::string& path) {
    const auto data = attributesOf(hostPath(path));
    if (!data)
        return std::nullopt;
    return sizeOf(*data);
}

// FindFirstFileA also matches short 8.3 names ("*.csv" finds "f.csvx" through "F~1.CSV"),
// so the pattern lists everything and the suffix is checked on the long name here.
std::vector<std::string> listFiles(const std::string& directory, std::string_view suffix) {
    std::vector<std::string> names;
    std::string pattern = hostPath(directory);
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA entry{};
    const HANDLE first = ::FindFirstFileA(pattern.c_str(), &entry);
    if (first == INVALID_HANDLE_VALUE)
        return names;
    const std::unique_ptr<void, FindCloser> search(first);
    do {
        const std::string_view name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && endsWith(name, suffix))
            names.emplace_back(name);
    } while (::FindNextFileA(first, &entry));
    return names;
}

}  // namespace torven::platform
