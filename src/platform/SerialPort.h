#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace torven::platform {

// Read and write time-outs with the meaning of the Win32 COMMTIMEOUTS.
struct SerialTimeouts {
    int readIntervalMs = 200;  // longest gap between two received bytes
    int readPerByteMs = 10;    // read time per requested byte
    int readConstantMs = 0;
    int writePerByteMs = 10;
    int writeConstantMs = 100;
};

// The number n of a port name "COMn" (n from 1, written without leading zeros); none for any
// other name, so that no other text can reach a device path.
std::optional<unsigned long> comPortNumber(const std::string& portName);

// The device path a port name stands for; empty for a name that is not "COMn". On Linux
// "COMn" is ../Ports/COMn when that exists (a link the operator or a udev rule made, or a
// pseudo-terminal in tests), else /dev/ttyS<n-1>; on Windows it is \\.\COMn, which also
// reaches COM10 and above.
std::string serialDevicePath(const std::string& portName);

// One open serial port, held exclusively (no other process or object can open it while this
// one holds it). Closed when the object goes away.
class SerialPort {
  public:
    // Opens "COMn" for reading and writing; none when it does not exist or is in use.
    static std::optional<SerialPort> open(const std::string& portName);

    SerialPort(SerialPort&& other) noexcept;
    SerialPort& operator=(SerialPort&& other) noexcept;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;
    ~SerialPort();

    // Raw 8N1 at the given speed, no flow control, DTR and RTS raised (ignored where the
    // port has no modem lines). False when the settings cannot be read or written.
    bool configure(int baud);
    // The time-outs of every later read and write; on Windows handed to the driver once here
    // (and by configure), not before each read.
    void setTimeouts(const SerialTimeouts& timeouts);
    // Discards pending output and input.
    void purge();
    // Writes all bytes within the write time-out; false on error or time-out.
    bool write(std::span<const std::uint8_t> bytes);
    // Reads up to buffer.size() bytes: returns when the buffer is full, or the total read
    // time has passed, or the interval time passed after a byte, whichever is first. A read cut
    // short by a time-out succeeds with what came. None when the port failed (for example the
    // device vanished).
    std::optional<std::size_t> read(std::span<std::uint8_t> buffer);
    // Closes the port; false when the close reported an error.
    bool close();

  private:
    explicit SerialPort(std::intptr_t handle) : handle_(handle) {}
    std::intptr_t handle_ = -1;  // the system's descriptor or HANDLE of the open port
    SerialTimeouts timeouts_;
};

}  // namespace torven::platform
