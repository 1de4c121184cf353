#pragma once

#include <memory>
#include <string>
#include <vector>

#include "di194rs-sim/Di194RsSimulator.h"
#include "support/ScratchStation.h"

namespace torven::bench {

// A scratch station (the working directory while it exists) with a simulated DI-194RS
// behind each of COM1..COMn and a configuration of n devices, each recording channel 1
// every second as a KORALI-VX stream.
class SimulatedStation {
  public:
    explicit SimulatedStation(int devices);
    SimulatedStation(const SimulatedStation&) = delete;
    SimulatedStation& operator=(const SimulatedStation&) = delete;

    // False when a pseudo-terminal could not be had for every device.
    bool started() const { return started_; }
    const test::ScratchStation& station() const { return station_; }

  private:
    test::ScratchStation station_;
    // Declared after the station: they leave their links dangling when they stop.
    std::vector<std::unique_ptr<sim::Di194RsSimulator>> simulators_;
    bool started_ = true;
};

}  // namespace torven::bench
