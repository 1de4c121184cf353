#pragma once

#include "shell/DataLoggingMode.h"

namespace torven {

class SiteConfiguration;

// The main loop: about four times a second it looks at the keyboard once, steps the
// controller, refreshes the status display, dumps the screen at every five-second mark and
// reloads a changed configuration. Returns after Q with the controller stopped.
void runMenuLoop(SiteConfiguration& site, DataLoggingMode startMode);

}  // namespace torven
