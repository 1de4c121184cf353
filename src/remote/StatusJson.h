#pragma once

#include <string>

#include "remote/StatusSnapshot.h"

namespace torven {

// The snapshot as one JSON document: the program (version, mode, site, UTC time of the last
// pass, configuration error, start time, event log lines by level, finished files waiting)
// and every device with its channels and their streams. Times are "YYYY-MM-DDThh:mm:ssZ";
// what is not known yet, and values that are not finite, are null.
std::string statusJson(const StatusSnapshot& snapshot);

}  // namespace torven
