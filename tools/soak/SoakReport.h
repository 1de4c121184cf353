#pragma once

#include <ostream>

#include "soak/SoakRun.h"

namespace torven::soak {

// The tables of a soak run (streams, devices) and its summary line.
void printReport(std::ostream& out, const SoakResult& result);

}  // namespace torven::soak
