#include "devices/Di194RsDevice.h"

#include <climits>
#include <cstdlib>
#include <utility>

#include "platform/ProgramLock.h"

namespace torven {

namespace {

constexpr int lineSpeed = 4800;
constexpr int settlePauseMs = 200;
constexpr std::uint8_t commandPrefix = 0x00;
constexpr std::size_t frameLength = 8;
constexpr std::size_t leastSampleBytes = 17;
constexpr std::size_t lastFrameStart = 8;
constexpr int readsPerSample = 3;
constexpr double voltsPerCount = 0.01953125;  // 20 V over 1024 counts
constexpr double voltsAtCountZero = -10.0;
static_assert(2 * static_cast<std::size_t>(Di194RsDevice::channels) == frameLength,
              "a frame holds one byte pair per channel");

constexpr platform::SerialTimeouts deviceTimeouts{
    .readIntervalMs = 200,
    .readPerByteMs = 10,
    .readConstantMs = 0,
    .writePerByteMs = 10,
    .writeConstantMs = 100,
};

std::string portName(unsigned portNumber) {
    return "COM" + std::to_string(portNumber);
}

// The port number of a configured text such as "COM3": the text from its fourth character on
// read as a decimal integer (leading blanks and a sign allowed, stopping at the first
// non-digit). None for no digits, zero, a negative number or one beyond the int range.
std::optional<unsigned> configuredPortNumber(const std::string& port) {
    if (port.size() <= 3)
        return std::nullopt;
    const long number = std::strtol(port.c_str() + 3, nullptr, 10);
    if (number <= 0 || number > INT_MAX)
        return std::nullopt;
    return static_cast<unsigned>(number);
}

}  // namespace

Di194RsDevice::~Di194RsDevice() = default;

double Di194RsDevice::decodeChannel(std::uint8_t first, std::uint8_t second) {
    const unsigned count = ((first >> 5) & 0x7u) | (static_cast<unsigned>(second >> 1) << 3);
    return count * voltsPerCount + voltsAtCountZero;
}

std::optional<std::size_t> Di194RsDevice::findFrameStart(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < leastSampleBytes)
        return std::nullopt;
    for (std::size_t position = 0; position <= lastFrameStart; ++position) {
        if ((bytes[position] & 0x01) == 0)
            return position;
    }
    return std::nullopt;
}

double Di194RsDevice::channelValue(std::int32_t channelNumber) const {
    if (channelNumber < 1 || channelNumber > channels)
        return noReading;
    return channels_[channelNumber - 1].value();
}

DeviceChannel* Di194RsDevice::channel(std::int32_t channelNumber) {
    if (channelNumber < 1 || channelNumber > channels)
        return nullptr;
    return &channels_[channelNumber - 1];
}

bool Di194RsDevice::connect() {
    if (connectedFlag_)
        disconnect();
    if (configuredPort_.empty())
        return false;
    if (configuredPort_ == "COM*") {
        for (unsigned portNumber = firstPort; portNumber <= lastPort; ++portNumber) {
            if (openPort(portNumber))
                return true;
            abandonPort();
        }
        return false;
    }
    const auto portNumber = configuredPortNumber(configuredPort_);
    if (!portNumber)
        return false;
    if (openPort(*portNumber))
        return true;
    // A device that got as far as the handshake may have been started: stop it.
    disconnect();
    return false;
}

bool Di194RsDevice::disconnect() {
    if (!connectedFlag_)
        return true;
    sendCommand('S', '0');
    connectedFlag_ = false;
    resetChannels();
    return releasePort();
}

void Di194RsDevice::startSample() {
    if (!connectedFlag_ || !portHandle_)
        return;
    portHandle_->purge();
    sampleStarted_ = true;
}

bool Di194RsDevice::readSample() {
    if (!connectedFlag_)
        return false;
    return readFrame();
}

std::string Di194RsDevice::scanPorts() {
    // A scan probes every port itself; a port this device already holds would be skipped and
    // its stream left running, so a connected device is stopped first.
    if (connectedFlag_)
        disconnect();
    std::string found;
    int foundCount = 0;
    for (unsigned portNumber = firstPort; portNumber <= lastPort; ++portNumber) {
        if (!openPort(portNumber)) {
            abandonPort();
            continue;
        }
        if (++foundCount > 1)
            found += ", ";
        found += connectedPortName_;
        disconnect();
    }
    if (foundCount == 0)
        return "No " + typeName() + " found.\n";
    return found;
}

bool Di194RsDevice::openPort(unsigned portNumber) {
    connectedPortName_.clear();
    sampleStarted_ = false;
    const std::string name = portName(portNumber);
    portHandle_ = platform::SerialPort::open(name);
    if (!portHandle_)
        return false;
    if (!portHandle_->configure(lineSpeed)) {
        releasePort();
        return false;
    }
    portHandle_->setTimeouts(deviceTimeouts);
    platform::sleepMilliseconds(settlePauseMs);
    connectedFlag_ = true;
    portHandle_->purge();
    if (!handshake())
        return false;
    connectedPortName_ = name;
    return true;
}

bool Di194RsDevice::handshake() {
    if (!sendCommand('N', 'Z'))
        return false;
    // The fourth byte of the NZ reply must be '0'; a shorter reply cannot show that it is.
    if (bytesRead_ < 4 || replyBuffer_[3] != '0')
        return false;
    return sendCommand('B', 0x01) && sendCommand('C', '?') && sendCommand('S', '1');
}

bool Di194RsDevice::releasePort() {
    if (!portHandle_)
        return true;
    const bool closed = portHandle_->close();
    portHandle_.reset();
    return closed;
}

void Di194RsDevice::abandonPort() {
    connectedFlag_ = false;
    resetChannels();
    releasePort();
}

bool Di194RsDevice::sendCommand(std::uint8_t first, std::uint8_t second) {
    if (!connectedFlag_ || !portHandle_)
        return false;
    portHandle_->purge();
    const std::uint8_t prefix[] = {commandPrefix};
    const std::uint8_t command[] = {first, second};
    if (!portHandle_->write(prefix) || !portHandle_->write(command))
        return false;
    const auto received = portHandle_->read(replyBuffer_);
    bytesRead_ = static_cast<std::uint32_t>(received.value_or(0));
    if (!received)
        return false;
    return bytesRead_ >= 2 && replyBuffer_[0] == first && replyBuffer_[1] == second;
}

bool Di194RsDevice::readFrame() {
    if (!connectedFlag_ || !portHandle_)
        return false;
    // After startSample the input holds only what came since: the first read takes it as it
    // is; every read after a failed one starts afresh.
    const bool started = std::exchange(sampleStarted_, false);
    for (int attempt = 0; attempt < readsPerSample; ++attempt) {
        if (attempt > 0 || !started)
            portHandle_->purge();
        const auto received = portHandle_->read(replyBuffer_);
        bytesRead_ = static_cast<std::uint32_t>(received.value_or(0));
        if (!received)
            continue;
        const auto frameStart = findFrameStart(std::span(replyBuffer_.data(), bytesRead_));
        if (frameStart) {
            decodeFrame(*frameStart);
            return true;
        }
    }
    disconnect();
    return false;
}

// A device that is not connected has no reading: its last values must not be taken for
// current ones by the display or the data files.
void Di194RsDevice::resetChannels() {
    for (AnalogChannel& analogChannel : channels_)
        analogChannel.reset();
}

void Di194RsDevice::decodeFrame(std::size_t frameStart) {
    for (std::size_t pair = 0; pair < channels_.size(); ++pair) {
        const std::size_t first = frameStart + 2 * pair;
        channels_[pair].setReading(decodeChannel(replyBuffer_[first], replyBuffer_[first + 1]));
    }
}

}  // namespace torven
