#pragma once

#include <string>

namespace torven {

class Console;
class SiteConfiguration;

// The full-screen status picture: the title / menu line on row 0, the mode, the site, the
// UTC time of the last pass and one block per device with every channel's stream.
void showTitle(Console& console);
// One flash of the title line (two with `twice`), leaving it black on bright cyan.
void flashTitle(Console& console, bool twice);
void showMenuLine(Console& console);
// Everything that changes only with the configuration or the mode (after a clear screen).
void showSiteTable(SiteConfiguration& site);
// The fields that change from pass to pass: the time, connection states, values, statuses.
void showChannelStatus(SiteConfiguration& site);
// The head of the port-scan screen (after a clear screen): the supported device types and
// "Scanning...", which the report overwrites.
void showDeviceScanHeading(Console& console);
// The report of a port scan, under the heading.
void showDeviceScanReport(Console& console, const std::string& report);

}  // namespace torven
