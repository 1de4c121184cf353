#include "soak/SoakPlan.h"

#include <cstdio>

namespace torven::soak {

namespace {

constexpr double kVoltsPerCount = 20.0 / 1024.0;

std::string sampleText(double volts) {
    char text[32];
    std::snprintf(text, sizeof text, "%+6.3f", volts);
    return text;
}

std::string stationId(int device, int channel) {
    char text[16];
    std::snprintf(text, sizeof text, "D%02dC%d", device, channel);
    return text;
}

}  // namespace

SoakPlan::SoakPlan(int deviceCount) : deviceCount_(deviceCount) {
    for (int device = 1; device <= deviceCount; ++device) {
        for (int channel = 1; channel <= static_cast<int>(kSampleIntervals.size()); ++channel) {
            StreamPlan stream;
            stream.device = device;
            stream.channel = channel;
            stream.sampleInterval = kSampleIntervals[channel - 1];
            stream.stationId = stationId(device, channel);
            stream.streamId = stream.stationId + "_" + kMonitorId;
            stream.volts = channelVolts(device, channel);
            stream.valueText = sampleText(stream.volts);
            streams_.push_back(std::move(stream));
        }
    }
}

std::string SoakPlan::configurationText() const {
    std::string text = "SITE = Soak Station, Comments = simulated devices under faults\n";
    int lastDevice = 0;
    for (const StreamPlan& stream : streams_) {
        if (stream.device != lastDevice) {
            text += "DEVICE = DI-194RS, PORT = " + portName(stream.device) + "\n";
            lastDevice = stream.device;
        }
        text += "CHANNEL = " + std::to_string(stream.channel) +
                ", DATATYPE = KORALI-VX, StationID = " + stream.stationId +
                ", Frequency = 24.0, MonitorID = " + kMonitorId +
                ", SampleRate = " + std::to_string(stream.sampleInterval) + "\n";
    }
    return text;
}

double SoakPlan::channelVolts(int device, int channel) {
    // A whole count per channel, distinct for every device and channel up to 20 devices.
    const int count = 40 * device + 8 * channel + 3;
    return count * kVoltsPerCount - 10.0;
}

}  // namespace torven::soak
