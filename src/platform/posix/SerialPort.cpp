#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <utility>

namespace torven::platform {

namespace {

using Clock = std::chrono::steady_clock;

int descriptorOf(std::intptr_t handle) {
    return static_cast<int>(handle);
}

std::optional<speed_t> speedCode(int baud) {
    switch (baud) {
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return std::nullopt;
    }
}

// A deadline that may be absent (no limit).
using Deadline = std::optional<Clock::time_point>;

Deadline deadlineAfter(Clock::time_point start, long long milliseconds) {
    if (milliseconds <= 0)
        return std::nullopt;
    return start + std::chrono::milliseconds(milliseconds);
}

Deadline earlier(Deadline a, Deadline b) {
    if (!a)
        return b;
    if (!b)
        return a;
    return std::min(*a, *b);
}

// The poll() time-out until the deadline, rounded up so that poll never wakes early and the
// caller never spins; -1 without a deadline, 0 once it has passed.
int pollTimeout(Deadline deadline) {
    if (!deadline)
        return -1;
    const auto left = *deadline - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

bool passed(Deadline deadline) {
    return deadline && Clock::now() >= *deadline;
}

enum class Readiness { Ready, TimedOut, Failed };

// Waits until the descriptor is ready for `events` or the deadline passes. A hang-up that
// comes with readable data counts as ready, so that the read takes the data and then meets
// the end; a hang-up or an error alone is a failure.
Readiness waitFor(int descriptor, short events, Deadline deadline) {
    while (true) {
        const int timeout = pollTimeout(deadline);
        pollfd entry{descriptor, events, 0};
        const int result = ::poll(&entry, 1, timeout);
        if (result < 0) {
            if (errno == EINTR)
                continue;
            return Readiness::Failed;
        }
        if (result == 0) {
            if (timeout != 0 && !passed(deadline))
                continue;
            return Readiness::TimedOut;
        }
        if ((entry.revents & events) != 0)
            return Readiness::Ready;
        return Readiness::Failed;
    }
}

}  // namespace

std::string serialDevicePath(const std::string& portName) {
    const auto number = comPortNumber(portName);
    if (!number)
        return {};
    const std::string linkPath = "../Ports/" + portName;
    struct stat status {};
    if (::lstat(linkPath.c_str(), &status) == 0)
        return linkPath;
    return "/dev/ttyS" + std::to_string(*number - 1);
}

std::optional<SerialPort> SerialPort::open(const std::string& portName) {
    const std::string path = serialDevicePath(portName);
    if (path.empty())
        return std::nullopt;
    const int descriptor = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    // The lock keeps every other opener out, this process included, and also root, which
    // an exclusive-mode terminal would let in.
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        ::close(descriptor);
        return std::nullopt;
    }
    return SerialPort(static_cast<std::intptr_t>(descriptor));
}

bool SerialPort::configure(int baud) {
    const auto speed = speedCode(baud);
    if (!speed || handle_ < 0)
        return false;
    termios settings{};
    if (::tcgetattr(descriptorOf(handle_), &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, *speed);
    ::cfsetospeed(&settings, *speed);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (::tcsetattr(descriptorOf(handle_), TCSANOW, &settings) != 0)
        return false;
    // A pseudo-terminal has no modem lines; the device only needs them raised where they exist.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(descriptorOf(handle_), TIOCMBIS, &lines);
    return true;
}

void SerialPort::setTimeouts(const SerialTimeouts& timeouts) {
    timeouts_ = timeouts;
}

void SerialPort::purge() {
    if (handle_ >= 0)
        ::tcflush(descriptorOf(handle_), TCIOFLUSH);
}

bool SerialPort::write(std::span<const std::uint8_t> bytes) {
    if (handle_ < 0)
        return false;
    const Deadline deadline = deadlineAfter(
        Clock::now(), timeouts_.writeConstantMs + static_cast<long long>(timeouts_.writePerByteMs) *
                                                      static_cast<long long>(bytes.size()));
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t result =
            ::write(descriptorOf(handle_), bytes.data() + written, bytes.size() - written);
        if (result > 0) {
            written += static_cast<std::size_t>(result);
            continue;
        }
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        if (waitFor(descriptorOf(handle_), POLLOUT, deadline) != Readiness::Ready)
            return false;
    }
    return true;
}

std::optional<std::size_t> SerialPort::read(std::span<std::uint8_t> buffer) {
    if (handle_ < 0)
        return std::nullopt;
    const Clock::time_point start = Clock::now();
    const Deadline total = deadlineAfter(
        start, timeouts_.readConstantMs + static_cast<long long>(timeouts_.readPerByteMs) *
                                              static_cast<long long>(buffer.size()));
    Deadline afterLastByte;  // the interval time-out runs only once a byte has come
    std::size_t received = 0;
    while (received < buffer.size()) {
        switch (waitFor(descriptorOf(handle_), POLLIN, earlier(total, afterLastByte))) {
            case Readiness::TimedOut:
                return received;
            case Readiness::Failed:
                return std::nullopt;
            case Readiness::Ready:
                break;
        }
        const ssize_t result =
            ::read(descriptorOf(handle_), buffer.data() + received, buffer.size() - received);
        if (result > 0) {
            received += static_cast<std::size_t>(result);
            afterLastByte = deadlineAfter(Clock::now(), timeouts_.readIntervalMs);
            continue;
        }
        // End of file on a terminal means it was hung up: the device has gone.
        if (result == 0)
            return std::nullopt;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return std::nullopt;
    }
    return received;
}

bool SerialPort::close() {
    if (handle_ < 0)
        return true;
    return ::close(static_cast<int>(std::exchange(handle_, -1))) == 0;
}

}  // namespace torven::platform
