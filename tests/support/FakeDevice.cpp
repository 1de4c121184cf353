#include "support/FakeDevice.h"

#include <utility>

namespace torven::test {

FakeDevice::FakeDevice(std::string port, std::string typeName)
    : port_(std::move(port)), typeName_(std::move(typeName)) {}

void FakeDevice::forceConnected(bool connected) {
    connected_ = connected;
    connectedPortName_ = connected ? port_ : "";
}

bool FakeDevice::connect() {
    ++connectCalls_;
    if (onConnect_)
        onConnect_();
    connectedPortName_.clear();
    connected_ = answering_;
    samplesLeft_ = samplesPerConnection_.value_or(0);
    if (connected_)
        connectedPortName_ = port_;
    return connected_;
}

bool FakeDevice::disconnect() {
    ++disconnectCalls_;
    if (onDisconnect_)
        onDisconnect_();
    if (connected_)
        resetChannels();
    connected_ = false;
    return true;
}

void FakeDevice::startSample() {
    if (journal_)
        journal_->push_back(port_ + " start");
}

bool FakeDevice::readSample() {
    ++readCalls_;
    if (journal_)
        journal_->push_back(port_ + " read");
    if (!connected_)
        return false;
    if (onRead_)
        onRead_();
    const bool spent = samplesPerConnection_ && samplesLeft_-- <= 0;
    if (!answering_ || !deliversSamples_ || spent) {
        resetChannels();
        connected_ = false;
        return false;
    }
    for (AnalogChannel& channel : channels_)
        channel.setReading(reading_);
    return true;
}

double FakeDevice::channelValue(std::int32_t channelNumber) const {
    if (channelNumber < 1 || channelNumber > channels)
        return noReading;
    return channels_[channelNumber - 1].value();
}

DeviceChannel* FakeDevice::channel(std::int32_t channelNumber) {
    if (channelNumber < 1 || channelNumber > channels)
        return nullptr;
    return &channels_[channelNumber - 1];
}

void FakeDevice::resetChannels() {
    for (AnalogChannel& channel : channels_)
        channel.reset();
}

}  // namespace torven::test
