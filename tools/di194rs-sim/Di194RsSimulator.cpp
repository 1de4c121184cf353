#include "di194rs-sim/Di194RsSimulator.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <deque>
#include <mutex>
#include <numbers>
#include <optional>
#include <span>
#include <thread>

namespace torven::sim {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// 4800 baud with 10 bits per character (start, 8 data, stop).
constexpr double lineBytesPerSecond = 480.0;
// Frames go out a channel pair at a time, so the host sees them arrive as on a real line.
constexpr std::uint64_t pieceBytes = 2;
// After the simulator's thread was held up it sends no more than one frame at once: a real
// line never delivers faster than its rate.
constexpr std::uint64_t largestCatchUp = 8;
constexpr double lowestVolts = -10.0;
constexpr double highestVolts = 9.98;

// Bytes for a report line: printable characters as they are, others as 0xNN.
std::string printable(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<0x%02X>", byte);
            text += hex;
        }
    }
    return text;
}

int pollTimeout(std::optional<TimePoint> wake) {
    if (!wake)
        return -1;
    const auto left = *wake - Clock::now();
    if (left <= Clock::duration::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

void closeDescriptor(int& descriptor) {
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
}

}  // namespace

double ChannelSignal::voltsAt(double seconds) const {
    if (shape == Shape::Constant || periodSeconds <= 0.0)
        return volts;
    const double phase = seconds / periodSeconds - std::floor(seconds / periodSeconds);
    if (shape == Shape::Ramp)
        return volts + amplitude * (2.0 * phase - 1.0);
    return volts + amplitude * std::sin(2.0 * std::numbers::pi * phase);
}

unsigned Di194RsSimulator::countFor(double volts) {
    const double clamped = std::clamp(volts, lowestVolts, highestVolts);
    const long count = std::lround((clamped - lowestVolts) * 1024.0 / 20.0);
    return static_cast<unsigned>(std::clamp(count, 0L, 1023L));
}

std::array<std::uint8_t, 8> Di194RsSimulator::encodeFrame(const std::array<double, 4>& volts) {
    std::array<std::uint8_t, 8> frame{};
    for (std::size_t channel = 0; channel < volts.size(); ++channel) {
        const unsigned count = countFor(volts[channel]);
        // Count bits 2-0 go to bits 7-5 of the first byte, bits 9-3 to bits 7-1 of the
        // second. The unused low bits are set, so that bit 0 is clear only at a frame start.
        frame[2 * channel] = static_cast<std::uint8_t>(((count & 0x7u) << 5) | 0x1Fu);
        frame[2 * channel + 1] = static_cast<std::uint8_t>(((count >> 3) << 1) | 0x01u);
    }
    frame[0] &= static_cast<std::uint8_t>(~0x01u);
    return frame;
}

struct Di194RsSimulator::Impl {
    struct Reply {
        TimePoint due;
        std::string bytes;
    };

    explicit Impl(fs::path link) : linkPath(std::move(link)), epoch(Clock::now()) {}

    // Set up once; read by every thread.
    const fs::path linkPath;
    const TimePoint epoch;

    // Start, stop, plug and unplug one at a time.
    std::mutex lifecycle;
    bool running = false;
    int master = -1;
    int slave = -1;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread worker;
    std::atomic<bool> stopRequested{false};

    // Shared between the caller's threads and the worker.
    mutable std::mutex mutex;
    std::array<ChannelSignal, 4> signals{};
    Fault fault = Fault::None;
    std::chrono::milliseconds replyDelay{0};
    bool isPlugged = false;
    bool isStreaming = false;
    std::vector<std::uint8_t> receivedBytes;
    std::vector<std::string> commandLog;
    std::vector<std::string> exchange;
    std::function<void(const std::string&)> reporter;

    // The worker's own state, reset whenever the pty is replaced.
    bool afterPrefix = false;
    std::string pendingCommand;
    std::deque<Reply> replies;
    TimePoint streamOrigin;
    std::uint64_t streamBytesSent = 0;
    std::deque<std::uint8_t> frameRemainder;

    void report(const std::string& line) {
        std::function<void(const std::string&)> target;
        {
            std::lock_guard lock(mutex);
            target = reporter;
        }
        if (target)
            target(line);
    }

    // --- lifecycle (under `lifecycle`) ---

    bool openPty(std::string& slaveName) {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (master < 0)
            return false;
        char name[128];
        if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
            ::ptsname_r(master, name, sizeof name) != 0) {
            closeDescriptor(master);
            return false;
        }
        slaveName = name;
        // Held for the pty's whole life: without it the pty would hang up each time the host
        // closes its port, and the host's opens would see a dead line.
        slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios settings{};
        if (slave < 0 || ::tcgetattr(slave, &settings) != 0) {
            closePty();
            return false;
        }
        // Raw from the start: no echo, no line editing, no translation of the host's bytes.
        ::cfmakeraw(&settings);
        if (::tcsetattr(slave, TCSANOW, &settings) != 0) {
            closePty();
            return false;
        }
        return true;
    }

    void closePty() {
        closeDescriptor(master);
        closeDescriptor(slave);
    }

    // Replaces the link in one step, so that an opener never finds it missing.
    bool pointLinkAt(const fs::path& target) {
        std::string temporaryName = ".";
        temporaryName += linkPath.filename().string();
        temporaryName += "." + std::to_string(::getpid()) + ".tmp";
        const fs::path temporary = linkPath.parent_path() / temporaryName;
        ::unlink(temporary.c_str());
        if (::symlink(target.c_str(), temporary.c_str()) != 0)
            return false;
        if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
            ::unlink(temporary.c_str());
            return false;
        }
        return true;
    }

    void leaveLinkDangling() {
        pointLinkAt(linkPath.parent_path() / ("unplugged-" + linkPath.filename().string()));
    }

    bool makeWakePipe() {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0)
            return false;
        wakeRead = ends[0];
        wakeWrite = ends[1];
        return true;
    }

    void closeWakePipe() {
        closeDescriptor(wakeRead);
        closeDescriptor(wakeWrite);
    }

    void wakeWorker() const {
        if (wakeWrite < 0)
            return;
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = ::write(wakeWrite, &byte, 1);
    }

    bool plugIn() {
        std::string slaveName;
        if (!openPty(slaveName))
            return false;
        if (!pointLinkAt(slaveName)) {
            closePty();
            return false;
        }
        afterPrefix = false;
        pendingCommand.clear();
        replies.clear();
        frameRemainder.clear();
        stopRequested = false;
        {
            std::lock_guard lock(mutex);
            isPlugged = true;
            isStreaming = false;
        }
        worker = std::thread([this] { run(); });
        report("plugged in: " + linkPath.string() + " -> " + slaveName);
        return true;
    }

    void pullOut() {
        stopRequested = true;
        wakeWorker();
        if (worker.joinable())
            worker.join();
        closePty();
        leaveLinkDangling();
        std::lock_guard lock(mutex);
        isPlugged = false;
        isStreaming = false;
    }

    // --- the worker ---

    void run() {
        bool masterUsable = true;
        while (!stopRequested) {
            pollfd entries[2] = {{masterUsable ? master : -1, POLLIN, 0}, {wakeRead, POLLIN, 0}};
            if (::poll(entries, 2, pollTimeout(nextWake())) < 0 && errno != EINTR)
                break;
            if ((entries[1].revents & POLLIN) != 0)
                drainWakePipe();
            if ((entries[0].revents & POLLIN) != 0) {
                masterUsable = receiveFromHost();
            } else if ((entries[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                masterUsable = false;
            }
            sendDueReplies();
            sendDueStream();
        }
    }

    void drainWakePipe() const {
        char bytes[64];
        while (::read(wakeRead, bytes, sizeof bytes) > 0) {
        }
    }

    // When the stream's byte number `count` is due on the line.
    TimePoint streamTimeOf(std::uint64_t count) const {
        const std::chrono::duration<double> offset(static_cast<double>(count) / lineBytesPerSecond);
        return streamOrigin + std::chrono::duration_cast<Clock::duration>(offset);
    }

    std::optional<TimePoint> nextWake() {
        std::optional<TimePoint> wake;
        if (!replies.empty())
            wake = replies.front().due;
        std::lock_guard lock(mutex);
        if (isStreaming) {
            const TimePoint nextPiece = streamTimeOf(streamBytesSent + pieceBytes);
            wake = wake ? std::min(*wake, nextPiece) : nextPiece;
        }
        return wake;
    }

    bool receiveFromHost() {
        std::uint8_t bytes[256];
        const ssize_t count = ::read(master, bytes, sizeof bytes);
        if (count > 0) {
            handleBytes(std::span(bytes, static_cast<std::size_t>(count)));
            return true;
        }
        return count < 0 && (errno == EAGAIN || errno == EINTR);
    }

    // Commands are the byte 0x00 and two command bytes; anything else between them is noise.
    void handleBytes(std::span<const std::uint8_t> bytes) {
        std::vector<std::string> notes;
        {
            std::lock_guard lock(mutex);
            receivedBytes.insert(receivedBytes.end(), bytes.begin(), bytes.end());
            for (const std::uint8_t byte : bytes) {
                if (!afterPrefix) {
                    afterPrefix = byte == 0x00;
                    pendingCommand.clear();
                    continue;
                }
                pendingCommand += static_cast<char>(byte);
                if (pendingCommand.size() == 2) {
                    afterPrefix = false;
                    notes.push_back(executeLocked(pendingCommand));
                }
            }
        }
        for (const std::string& note : notes)
            report(note);
    }

    std::string executeLocked(const std::string& command) {
        commandLog.push_back(command);
        exchange.push_back("> " + command);
        std::string reply = command;
        const TimePoint due = Clock::now() + replyDelay;
        if (command == "NZ") {
            reply += fault == Fault::WrongNzReply ? "12" : "10";
        } else if (command == "S1") {
            isStreaming = true;
            streamOrigin = due;
            streamBytesSent = 0;
            frameRemainder.clear();
        } else if (command == "S0") {
            isStreaming = false;
            frameRemainder.clear();
        }
        replies.push_back({due, reply});
        return "command " + printable(command);
    }

    void sendDueReplies() {
        const TimePoint now = Clock::now();
        while (!replies.empty() && replies.front().due <= now) {
            const Reply reply = replies.front();
            replies.pop_front();
            {
                std::lock_guard lock(mutex);
                if (fault == Fault::Silent)
                    continue;
                exchange.push_back("< " + reply.bytes);
            }
            writeToHost(std::span(reinterpret_cast<const std::uint8_t*>(reply.bytes.data()),
                                  reply.bytes.size()));
        }
    }

    void sendDueStream() {
        std::vector<std::uint8_t> bytes;
        {
            std::lock_guard lock(mutex);
            const TimePoint now = Clock::now();
            if (!isStreaming || now < streamOrigin)
                return;
            const auto due = static_cast<std::uint64_t>(
                std::chrono::duration<double>(now - streamOrigin).count() * lineBytesPerSecond);
            if (due > streamBytesSent + largestCatchUp)
                streamBytesSent = due - largestCatchUp;
            if (due <= streamBytesSent)
                return;
            bytes = takeStreamBytesLocked(due - streamBytesSent, now);
            streamBytesSent = due;
            if (fault == Fault::Silent)
                return;
        }
        writeToHost(bytes);
    }

    std::vector<std::uint8_t> takeStreamBytesLocked(std::uint64_t count, TimePoint now) {
        while (frameRemainder.size() < count) {
            const double seconds = std::chrono::duration<double>(now - epoch).count();
            std::array<double, 4> volts{};
            for (std::size_t channel = 0; channel < volts.size(); ++channel) {
                volts[channel] = signals[channel].voltsAt(seconds);
            }
            auto frame = encodeFrame(volts);
            if (fault == Fault::NoFrameStart)
                frame[0] |= 0x01;
            frameRemainder.insert(frameRemainder.end(), frame.begin(), frame.end());
        }
        std::vector<std::uint8_t> bytes(frameRemainder.begin(),
                                        frameRemainder.begin() + static_cast<long>(count));
        frameRemainder.erase(frameRemainder.begin(),
                             frameRemainder.begin() + static_cast<long>(count));
        return bytes;
    }

    // What the host's side cannot take is lost, as on a line nobody reads.
    void writeToHost(std::span<const std::uint8_t> bytes) const {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t count = ::write(master, bytes.data() + written, bytes.size() - written);
            if (count > 0) {
                written += static_cast<std::size_t>(count);
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else {
                return;
            }
        }
    }
};

Di194RsSimulator::Di194RsSimulator(std::filesystem::path linkPath)
    : impl_(std::make_unique<Impl>(std::move(linkPath))) {}

Di194RsSimulator::~Di194RsSimulator() {
    stop();
}

bool Di194RsSimulator::start() {
    std::lock_guard lock(impl_->lifecycle);
    if (impl_->running)
        return true;
    if (!impl_->makeWakePipe())
        return false;
    if (!impl_->plugIn()) {
        impl_->closeWakePipe();
        return false;
    }
    impl_->running = true;
    return true;
}

void Di194RsSimulator::stop() {
    std::lock_guard lock(impl_->lifecycle);
    if (!impl_->running)
        return;
    if (plugged())
        impl_->pullOut();
    impl_->closeWakePipe();
    impl_->running = false;
    impl_->report("stopped");
}

void Di194RsSimulator::setSignal(int channel, const ChannelSignal& signal) {
    if (channel < 1 || channel > 4)
        return;
    std::lock_guard lock(impl_->mutex);
    impl_->signals[static_cast<std::size_t>(channel - 1)] = signal;
}

void Di194RsSimulator::setFault(Fault fault) {
    static constexpr const char* names[] = {"none", "silent", "no frame start", "wrong NZ reply"};
    {
        std::lock_guard lock(impl_->mutex);
        impl_->fault = fault;
    }
    impl_->report(std::string("fault: ") + names[static_cast<int>(fault)]);
}

void Di194RsSimulator::setReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(impl_->mutex);
    impl_->replyDelay = delay;
}

void Di194RsSimulator::unplug() {
    std::lock_guard lock(impl_->lifecycle);
    if (!impl_->running || !plugged())
        return;
    impl_->pullOut();
    impl_->report("unplugged: " + impl_->linkPath.string() + " left dangling");
}

bool Di194RsSimulator::plug() {
    std::lock_guard lock(impl_->lifecycle);
    if (!impl_->running)
        return false;
    return plugged() || impl_->plugIn();
}

bool Di194RsSimulator::plugged() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->isPlugged;
}

bool Di194RsSimulator::streaming() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->isStreaming;
}

std::vector<std::uint8_t> Di194RsSimulator::received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->receivedBytes;
}

void Di194RsSimulator::clearReceived() {
    std::lock_guard lock(impl_->mutex);
    impl_->receivedBytes.clear();
    impl_->commandLog.clear();
    impl_->exchange.clear();
}

std::vector<std::string> Di194RsSimulator::commands() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->commandLog;
}

std::vector<std::string> Di194RsSimulator::transcript() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->exchange;
}

void Di194RsSimulator::setReporter(std::function<void(const std::string&)> reporter) {
    std::lock_guard lock(impl_->mutex);
    impl_->reporter = std::move(reporter);
}

}  // namespace torven::sim
