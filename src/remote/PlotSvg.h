#pragma once

#include <string>

#include "remote/DayBins.h"

namespace torven {

// An inline SVG plot of a stream's day: time of day 00:00-24:00 UTC across, the value up
// (from the day's lowest to its highest reading), each bin drawn from its lowest to its highest
// reading. It fills the width of its container. Without rows that day, the HTML text
// "No rows today" instead.
std::string plotSvg(const std::string& streamId, const DayBins& day);

}  // namespace torven
