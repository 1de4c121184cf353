#include "bench/SimulatedStation.h"

namespace torven::bench {

namespace {

std::string configurationFor(int devices) {
    std::string text = "SITE = Bench Ridge, Longitude = -105.27, Latitude = 40.01\n";
    for (int port = 1; port <= devices; ++port) {
        const std::string number = std::to_string(port);
        text += "DEVICE = DI-194RS, PORT = COM" + number + "\n";
        text += "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = BR" + number +
                ", Frequency = 24.0, MonitorID = 000123, SampleRate = 1\n";
    }
    return text;
}

}  // namespace

SimulatedStation::SimulatedStation(int devices) {
    station_.writeConfig(configurationFor(devices));
    for (int port = 1; port <= devices; ++port) {
        simulators_.push_back(std::make_unique<sim::Di194RsSimulator>(station_.portLink(port)));
        started_ = simulators_.back()->start() && started_;
    }
}

}  // namespace torven::bench
