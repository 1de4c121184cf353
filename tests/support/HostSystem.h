#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace torven::test {

// The few calls of the tests that differ between Linux and Windows.

long currentProcessId();

void setEnvironmentVariable(const char* name, const char* value);
void removeEnvironmentVariable(const char* name);

// Sets a file's modification time; nanoseconds count as far as the file system keeps them
// (Windows keeps 100 ns steps). False when it could not be set.
bool setModificationTime(const std::filesystem::path& path, std::int64_t epochSeconds,
                         long nanoseconds);

// The system's own text for opening a file in a folder that does not exist, as the platform
// layer reports the failure.
std::string missingFolderErrorText();

// Sets the TZ variable for as long as it lives and then puts back what was there before,
// each time re-reading the zone in the C library.
class TimeZoneSetting {
  public:
    explicit TimeZoneSetting(const char* zone);
    TimeZoneSetting(const TimeZoneSetting&) = delete;
    TimeZoneSetting& operator=(const TimeZoneSetting&) = delete;
    ~TimeZoneSetting();

  private:
    std::optional<std::string> previous_;
};

// An anonymous pipe of C runtime descriptors; the ends still open are closed when it goes
// away.
class Pipe {
  public:
    Pipe();
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    ~Pipe();

    int readEnd() const { return ends_[0]; }
    int writeEnd() const { return ends_[1]; }
    // True when every byte was written.
    bool write(std::string_view bytes) const;
    // The bytes waiting in the pipe, up to its end; call once the write end is closed.
    std::string readToEnd() const;
    void closeReadEnd();
    void closeWriteEnd();

  private:
    int ends_[2] = {-1, -1};
};

// A TCP connection to a port of 127.0.0.1, closed when it goes.
class LoopbackConnection {
  public:
    explicit LoopbackConnection(std::uint16_t port);
    LoopbackConnection(const LoopbackConnection&) = delete;
    LoopbackConnection& operator=(const LoopbackConnection&) = delete;
    ~LoopbackConnection();

    bool connected() const { return connected_; }
    // Sends the bytes (as far as the peer takes them), then reads until the peer closes the
    // connection or it fails.
    std::string exchange(std::string_view bytes);

  private:
    bool socketsStarted_ = false;
    // A socket descriptor, or a Windows SOCKET (-1 for none on both).
    std::intptr_t socket_ = -1;
    bool connected_ = false;
};

// Standard input read from a pipe the test writes into, standard output going to the null
// device, for as long as it lives; nothing reaches the terminal the tests run in.
class RedirectedStandardStreams {
  public:
    RedirectedStandardStreams();
    RedirectedStandardStreams(const RedirectedStandardStreams&) = delete;
    RedirectedStandardStreams& operator=(const RedirectedStandardStreams&) = delete;
    ~RedirectedStandardStreams();

    // A key as typed on standard input.
    bool type(char key) const { return keys_.write(std::string_view(&key, 1)); }

  private:
    Pipe keys_;
    int savedInput_ = -1;
    int savedOutput_ = -1;
};

}  // namespace torven::test
