#pragma once

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
// The supported device types and the result of a port scan.
void showDeviceScan(SiteConfiguration& site);

}  // namespace torven
