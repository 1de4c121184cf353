#pragma once

#include <cstdint>

#include "shell/DataLoggingMode.h"
#include "shell/ScanScreen.h"

namespace torven {

class SiteConfiguration;

// The main loop: about four times a second it looks at the keyboard once, steps the
// controller, refreshes the status display, dumps the screen at every five-second mark and
// reloads a changed configuration. Returns after Q with the controller stopped. The port
// scan (menu choice S) runs beside it, and the loop goes on while its screen stands.
void runMenuLoop(SiteConfiguration& site, DataLoggingMode startMode);
// The same with the port scan done by `probe` (tests).
void runMenuLoop(SiteConfiguration& site, DataLoggingMode startMode, ScanScreen::Probe probe);

// How long a cycle sleeps (both times in milliseconds since the epoch): the usual quarter
// second, but no longer than until just after the start of the second that follows the last
// pass's clock reading, so that every second of the hour gets a pass and the passes line up
// just after the second boundaries. A pass that ran late is followed at once by the next;
// "at once" is one millisecond, in which the stop-signal handler can take the program lock.
int cycleSleepMilliseconds(std::int64_t lastPassMilliseconds, std::int64_t nowMilliseconds);

}  // namespace torven
