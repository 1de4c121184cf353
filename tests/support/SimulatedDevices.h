#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "di194rs-sim/Di194RsSimulator.h"
#include "support/ScratchStation.h"

namespace torven::test {

// Simulated DI-194RS devices behind the ports of a scratch station. Destroy it before the
// station (declare it after the station): the simulators leave their links dangling.
class SimulatedDevices {
  public:
    explicit SimulatedDevices(const ScratchStation& station) : station_(station) {}

    // Starts a simulator behind COMn, in place of any simulator there before; the test fails
    // when no pseudo-terminal can be had.
    sim::Di194RsSimulator& plugIn(int portNumber);
    sim::Di194RsSimulator& at(int portNumber) { return *simulators_.at(portNumber); }

    // Makes sure the simulator behind COMn has taken in everything the host sent so far: the
    // test sends a marker command of its own through the port and waits until it arrives.
    // The port must be free. False (and a test failure) when the marker did not arrive.
    bool settle(int portNumber);
    // The commands and the bytes the simulator behind COMn received, once settled, without
    // the marker.
    std::vector<std::string> settledCommands(int portNumber);
    std::vector<std::uint8_t> settledBytes(int portNumber);

  private:
    const ScratchStation& station_;
    std::map<int, std::unique_ptr<sim::Di194RsSimulator>> simulators_;
};

}  // namespace torven::test
