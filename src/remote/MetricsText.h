#pragma once

#include <string>

#include "remote/StatusSnapshot.h"

namespace torven {

// The snapshot in the Prometheus text exposition format 0.0.4 (families prefixed "torven_",
// times in seconds since the epoch, counters ending in "_total").
std::string metricsText(const StatusSnapshot& snapshot);

}  // namespace torven
