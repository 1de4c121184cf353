#include "support/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace torven::test {

namespace {

void writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0)
            throw std::runtime_error("write to the pseudo-terminal failed");
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

}  // namespace

PseudoTerminal::PseudoTerminal(bool raw) {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    if (raw) {
        termios settings{};
        ::tcgetattr(slave_, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(slave_, TCSANOW, &settings);
    }
}

PseudoTerminal::~PseudoTerminal() {
    hangUp();
    ::close(slave_);
}

void PseudoTerminal::type(std::string_view bytes) const {
    writeAll(master_, bytes);
}

void PseudoTerminal::hangUp() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

TerminalOutput::TerminalOutput(const PseudoTerminal& terminal)
    : master_(terminal.testSide()), slave_(terminal.programSide()) {
    if (::pipe(stopPipe_) != 0)
        throw std::runtime_error("pipe failed");
    reader_ = std::thread([this] { collect(); });
}

TerminalOutput::~TerminalOutput() {
    writeAll(stopPipe_[1], "x");
    reader_.join();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::string TerminalOutput::takeOutput() {
    const std::string marker = "\x1b]marker-" + std::to_string(++markers_) + "\x07";
    writeAll(slave_, marker);
    std::unique_lock lock(mutex_);
    std::string::size_type found = std::string::npos;
    arrived_.wait_for(lock, std::chrono::seconds(10), [&] {
        found = collected_.find(marker);
        return found != std::string::npos;
    });
    if (found == std::string::npos)
        return {};
    std::string output = collected_.substr(0, found);
    collected_.erase(0, found + marker.size());
    return output;
}

void TerminalOutput::collect() {
    pollfd sources[2] = {{master_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    for (;;) {
        if (::poll(sources, 2, -1) < 0)
            continue;
        if (sources[1].revents != 0)
            return;
        char buffer[4096];
        const ssize_t count = ::read(master_, buffer, sizeof buffer);
        if (count <= 0)
            return;
        std::lock_guard lock(mutex_);
        collected_.append(buffer, static_cast<std::size_t>(count));
        arrived_.notify_all();
    }
}

}  // namespace torven::test
