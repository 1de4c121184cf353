#include "support/HostSystem.h"

#include <fcntl.h>

#include <cstdlib>
#include <ctime>

#ifdef _WIN32
// Winsock 2 before windows.h, which would bring in the first Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>
// After Winsock 2.
#include <io.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace torven::test {

#ifdef _WIN32

namespace {

// 100 ns steps from 1601-01-01 to 1970-01-01.
constexpr std::uint64_t unixEpochAsFileTime = 116444736000000000ull;

int openPipe(int ends[2]) {
    return ::_pipe(ends, 4096, _O_BINARY | _O_NOINHERIT);
}

constexpr const char* nullDevice = "NUL";

using NativeSocket = SOCKET;
constexpr int noSignalFlag = 0;

bool startSockets() {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void stopSockets() {
    ::WSACleanup();
}

void closeSocket(NativeSocket socket) {
    ::closesocket(socket);
}

}  // namespace

long currentProcessId() {
    return static_cast<long>(::GetCurrentProcessId());
}

void setEnvironmentVariable(const char* name, const char* value) {
    ::_putenv_s(name, value);
}

// An empty value removes the variable.
void removeEnvironmentVariable(const char* name) {
    ::_putenv_s(name, "");
}

bool setModificationTime(const std::filesystem::path& path, std::int64_t epochSeconds,
                         long nanoseconds) {
    const HANDLE file = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const std::uint64_t steps = unixEpochAsFileTime +
                                static_cast<std::uint64_t>(epochSeconds) * 10'000'000u +
                                static_cast<std::uint64_t>(nanoseconds) / 100u;
    FILETIME time{};
    time.dwLowDateTime = static_cast<DWORD>(steps & 0xFFFFFFFFu);
    time.dwHighDateTime = static_cast<DWORD>(steps >> 32);
    const bool set = ::SetFileTime(file, nullptr, &time, &time) != 0;
    ::CloseHandle(file);
    return set;
}

std::string missingFolderErrorText() {
    char text[256] = {};
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         ERROR_PATH_NOT_FOUND, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

#else

namespace {

int openPipe(int ends[2]) {
    return ::pipe(ends);
}

constexpr const char* nullDevice = "/dev/null";

using NativeSocket = int;
constexpr int noSignalFlag = MSG_NOSIGNAL;

bool startSockets() {
    return true;
}

void stopSockets() {}

void closeSocket(NativeSocket socket) {
    ::close(socket);
}

}  // namespace

long currentProcessId() {
    return static_cast<long>(::getpid());
}

void setEnvironmentVariable(const char* name, const char* value) {
    ::setenv(name, value, 1);
}

void removeEnvironmentVariable(const char* name) {
    ::unsetenv(name);
}

bool setModificationTime(const std::filesystem::path& path, std::int64_t epochSeconds,
                         long nanoseconds) {
    const timespec times[2] = {{static_cast<time_t>(epochSeconds), nanoseconds},
                               {static_cast<time_t>(epochSeconds), nanoseconds}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::string missingFolderErrorText() {
    return std::strerror(ENOENT);
}

#endif

TimeZoneSetting::TimeZoneSetting(const char* zone) {
    if (const char* old = std::getenv("TZ"))
        previous_ = old;
    setEnvironmentVariable("TZ", zone);
    ::tzset();
}

TimeZoneSetting::~TimeZoneSetting() {
    if (previous_) {
        setEnvironmentVariable("TZ", previous_->c_str());
    } else {
        removeEnvironmentVariable("TZ");
    }
    ::tzset();
}

Pipe::Pipe() {
    if (openPipe(ends_) != 0)
        ends_[0] = ends_[1] = -1;
}

Pipe::~Pipe() {
    closeReadEnd();
    closeWriteEnd();
}

bool Pipe::write(std::string_view bytes) const {
    return ::write(ends_[1], bytes.data(), static_cast<unsigned>(bytes.size())) ==
           static_cast<int>(bytes.size());
}

std::string Pipe::readToEnd() const {
    std::string bytes;
    char buffer[256];
    for (;;) {
        const auto count = ::read(ends_[0], buffer, sizeof buffer);
        if (count <= 0)
            return bytes;
        bytes.append(buffer, static_cast<std::size_t>(count));
    }
}

void Pipe::closeReadEnd() {
    if (ends_[0] >= 0)
        ::close(ends_[0]);
    ends_[0] = -1;
}

void Pipe::closeWriteEnd() {
    if (ends_[1] >= 0)
        ::close(ends_[1]);
    ends_[1] = -1;
}

LoopbackConnection::LoopbackConnection(std::uint16_t port) : socketsStarted_(startSockets()) {
    const NativeSocket socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    socket_ = static_cast<std::intptr_t>(socket);
    if (socket_ == -1)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

LoopbackConnection::~LoopbackConnection() {
    if (socket_ != -1)
        closeSocket(static_cast<NativeSocket>(socket_));
    if (socketsStarted_)
        stopSockets();
}

std::string LoopbackConnection::exchange(std::string_view bytes) {
    const auto socket = static_cast<NativeSocket>(socket_);
    for (std::size_t sent = 0; sent < bytes.size();) {
        const auto count = ::send(socket, bytes.data() + sent,
                                  static_cast<int>(bytes.size() - sent), noSignalFlag);
        if (count <= 0)
            break;
        sent += static_cast<std::size_t>(count);
    }
    std::string answer;
    char buffer[4096];
    for (;;) {
        const auto count = ::recv(socket, buffer, static_cast<int>(sizeof buffer), 0);
        if (count <= 0)
            return answer;
        answer.append(buffer, static_cast<std::size_t>(count));
    }
}

RedirectedStandardStreams::RedirectedStandardStreams()
    : savedInput_(::dup(0)), savedOutput_(::dup(1)) {
    ::dup2(keys_.readEnd(), 0);
    const int null = ::open(nullDevice, O_WRONLY);
    ::dup2(null, 1);
    ::close(null);
}

RedirectedStandardStreams::~RedirectedStandardStreams() {
    ::dup2(savedInput_, 0);
    ::dup2(savedOutput_, 1);
    ::close(savedInput_);
    ::close(savedOutput_);
}

}  // namespace torven::test
