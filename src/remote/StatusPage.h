#pragma once

#include <string>

#include "remote/DayBins.h"
#include "remote/StatusSnapshot.h"

namespace torven {

// A complete, self-contained HTML5 status page (inline CSS, no scripts, refreshed every five
// seconds): what the console's status display shows - mode, site, UTC time of the last pass,
// the configuration error, a table of the devices and their channels - and then a plot of
// today for every stream, from plots by stream ID ("No rows today" for a stream without any).
// Marks for tools: rows <tr class="stream" data-stream="ID"> with cells of class "id",
// "value" and "status"; plots <svg class="plot" data-stream="ID">.
std::string statusPage(const StatusSnapshot& snapshot, const DayPlots& plots);

}  // namespace torven
