#include "platform/SerialPort.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <utility>

namespace torven::platform {

namespace {

HANDLE handleOf(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

bool isSupportedSpeed(int baud) {
    for (const int speed : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200}) {
        if (speed == baud)
            return true;
    }
    return false;
}

DWORD milliseconds(int value) {
    return value > 0 ? static_cast<DWORD>(value) : 0;
}

// The driver times reads and writes itself; a read with every time-out zero would return at
// once and leave the caller spinning, so the program's time-outs are always finite.
bool applyTimeouts(HANDLE port, const SerialTimeouts& timeouts) {
    COMMTIMEOUTS settings{};
    settings.ReadIntervalTimeout = milliseconds(timeouts.readIntervalMs);
    settings.ReadTotalTimeoutMultiplier = milliseconds(timeouts.readPerByteMs);
    settings.ReadTotalTimeoutConstant = milliseconds(timeouts.readConstantMs);
    settings.WriteTotalTimeoutMultiplier = milliseconds(timeouts.writePerByteMs);
    settings.WriteTotalTimeoutConstant = milliseconds(timeouts.writeConstantMs);
    return ::SetCommTimeouts(port, &settings) != 0;
}

// The COM ports this process holds, by number. Windows' serial drivers refuse a second opening
// of a port whatever the share mode; Wine checks share modes on files only, never on devices.
// So that the port scan can never open a port a device of this program holds, on Windows and
// under Wine alike, a port is taken here before it is opened and given back once it is closed.
class HeldPorts {
  public:
    bool take(unsigned long number) {
        std::lock_guard lock(mutex_);
        return ports_.emplace(number, -1).second;
    }
    void hold(unsigned long number, std::intptr_t handle) {
        std::lock_guard lock(mutex_);
        ports_[number] = handle;
    }
    void giveBack(unsigned long number) {
        std::lock_guard lock(mutex_);
        ports_.erase(number);
    }
    // The number of the port open under this handle; its handle stays unique while it is open.
    std::optional<unsigned long> numberOf(std::intptr_t handle) {
        std::lock_guard lock(mutex_);
        for (const auto& [number, held] : ports_) {
            if (held == handle)
                return number;
        }
        return std::nullopt;
    }

  private:
    std::mutex mutex_;
    std::map<unsigned long, std::intptr_t> ports_;
};

HeldPorts& heldPorts() {
    static HeldPorts ports;
    return ports;
}

}  // namespace

std::string serialDevicePath(const std::string& portName) {
    const auto number = comPortNumber(portName);
    if (!number)
        return {};
    return "\\\\.\\COM" + std::to_string(*number);
}

// Share mode 0: no other process or opening gets the port while this one holds it.
std::optional<SerialPort> SerialPort::open(const std::string& portName) {
    const auto number = comPortNumber(portName);
    if (!number || !heldPorts().take(*number))
        return std::nullopt;
    const HANDLE port =
        ::CreateFileA(serialDevicePath(portName).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        heldPorts().giveBack(*number);
        return std::nullopt;
    }
    const auto handle = reinterpret_cast<std::intptr_t>(port);
    heldPorts().hold(*number, handle);
    return SerialPort(handle);
}

bool SerialPort::configure(int baud) {
    if (!isSupportedSpeed(baud) || handle_ == -1)
        return false;
    const HANDLE port = handleOf(handle_);
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!::GetCommState(port, &settings))
        return false;
    settings.BaudRate = static_cast<DWORD>(baud);
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fAbortOnError = FALSE;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    if (!::SetCommState(port, &settings) || !applyTimeouts(port, timeouts_))
        return false;
    // A port without modem lines (a pseudo-terminal behind Wine, some adapters) refuses
    // these; the device only needs the lines raised where they exist.
    ::EscapeCommFunction(port, SETDTR);
    ::EscapeCommFunction(port, SETRTS);
    return true;
}

void SerialPort::setTimeouts(const SerialTimeouts& timeouts) {
    timeouts_ = timeouts;
    if (handle_ != -1)
        applyTimeouts(handleOf(handle_), timeouts_);
}

void SerialPort::purge() {
    if (handle_ != -1) {
        ::PurgeComm(handleOf(handle_),
                    PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    }
}

bool SerialPort::write(std::span<const std::uint8_t> bytes) {
    if (handle_ == -1)
        return false;
    DWORD written = 0;
    return ::WriteFile(handleOf(handle_), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                       nullptr) &&
           written == bytes.size();
}

std::optional<std::size_t> SerialPort::read(std::span<std::uint8_t> buffer) {
    if (handle_ == -1)
        return std::nullopt;
    DWORD received = 0;
    if (!::ReadFile(handleOf(handle_), buffer.data(), static_cast<DWORD>(buffer.size()), &received,
                    nullptr)) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(received);
}

bool SerialPort::close() {
    if (handle_ == -1)
        return true;
    const auto number = heldPorts().numberOf(handle_);
    const bool closed = ::CloseHandle(handleOf(std::exchange(handle_, -1))) != 0;
    if (number)
        heldPorts().giveBack(*number);
    return closed;
}

}  // namespace torven::platform
