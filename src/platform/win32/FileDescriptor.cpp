#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

namespace torven::platform {

namespace {

HANDLE handleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
}

struct Opening {
    DWORD access;
    DWORD disposition;
    bool atEnd;
};

Opening openingFor(OpenMode mode) {
    switch (mode) {
        case OpenMode::Read:
            return {GENERIC_READ, OPEN_EXISTING, false};
        case OpenMode::ReadWriteOrCreate:
            return {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, false};
        case OpenMode::WriteNew:
            return {GENERIC_WRITE, CREATE_ALWAYS, false};
        case OpenMode::Append:
            return {GENERIC_WRITE, OPEN_EXISTING, true};
        case OpenMode::AppendOrCreate:
            return {GENERIC_WRITE, OPEN_ALWAYS, true};
    }
    return {GENERIC_READ, OPEN_EXISTING, false};
}

// One ReadFile or WriteFile moves at most this much, so that the count fits a DWORD.
constexpr std::size_t largestTransfer = 1u << 30;

}  // namespace

std::optional<std::size_t> FileDescriptor::writeSome(std::string_view bytes) const {
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min(bytes.size(), largestTransfer));
    if (!::WriteFile(handleOf(descriptor_), bytes.data(), count, &written, nullptr) ||
        written == 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(written);
}

// A read at an offset moves the file pointer of a synchronous handle to the end of what it
// read, so the pointer is put back: the next write must land where it would have without the
// read.
std::optional<std::size_t> FileDescriptor::readAt(std::uint64_t offset,
                                                  std::span<char> buffer) const {
    const HANDLE file = handleOf(descriptor_);
    LARGE_INTEGER pointer{};
    if (!::SetFilePointerEx(file, LARGE_INTEGER{}, &pointer, FILE_CURRENT))
        return std::nullopt;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD count = 0;
    const auto wanted = static_cast<DWORD>(std::min(buffer.size(), largestTransfer));
    const bool read = ::ReadFile(file, buffer.data(), wanted, &count, &position) != 0;
    const bool atEnd = !read && ::GetLastError() == ERROR_HANDLE_EOF;
    if (!::SetFilePointerEx(file, pointer, nullptr, FILE_BEGIN))
        return std::nullopt;
    if (read)
        return static_cast<std::size_t>(count);
    return atEnd ? std::optional<std::size_t>(0) : std::nullopt;
}

std::optional<std::uint64_t> FileDescriptor::size() const {
    LARGE_INTEGER length{};
    if (!::GetFileSizeEx(handleOf(descriptor_), &length))
        return std::nullopt;
    return static_cast<std::uint64_t>(length.QuadPart);
}

bool FileDescriptor::truncate(std::uint64_t size) const {
    const HANDLE file = handleOf(descriptor_);
    LARGE_INTEGER position{};
    position.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
}

bool FileDescriptor::flushToDisk() const {
    return ::FlushFileBuffers(handleOf(descriptor_)) != 0;
}

bool FileDescriptor::close() {
    if (descriptor_ < 0)
        return true;
    // The descriptor and its HANDLE are released whatever _close reports.
    return ::_close(release()) == 0;
}

// Written files are positioned at their end when opened for appending: the program is the
// only writer of its files, so every write then lands at the end.
FileDescriptor openFile(const std::string& hostFilePath, OpenMode mode) {
    const Opening opening = openingFor(mode);
    const HANDLE file = ::CreateFileA(hostFilePath.c_str(), opening.access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, opening.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FileDescriptor();
    if (opening.atEnd && !::SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END)) {
        ::CloseHandle(file);
        return FileDescriptor();
    }
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    if (descriptor < 0)
        ::CloseHandle(file);
    return FileDescriptor(descriptor);
}

}  // namespace torven::platform
