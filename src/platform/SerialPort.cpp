#include "platform/SerialPort.h"

#include <utility>

namespace torven::platform {

std::optional<unsigned long> comPortNumber(const std::string& portName) {
    const std::string prefix = "COM";
    if (portName.size() <= prefix.size() || portName.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    const std::string digits = portName.substr(prefix.size());
    if (digits.size() > 9 || digits.front() == '0')
        return std::nullopt;
    unsigned long number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    return number;
}

SerialPort::SerialPort(SerialPort&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), timeouts_(other.timeouts_) {}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, -1);
        timeouts_ = other.timeouts_;
    }
    return *this;
}

SerialPort::~SerialPort() {
    close();
}

}  // namespace torven::platform
