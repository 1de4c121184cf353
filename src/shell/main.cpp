#include <cstdio>

#include "config/SiteConfiguration.h"
#include "platform/StationLock.h"
#include "shell/Program.h"

int main() {
    // First of all, before any file, port or the terminal is touched: one monitor per
    // station. Static, so that the lock is let go only after every other object of the
    // program is gone, whichever way the process ends.
    static const torven::platform::StationLock station(torven::stationLockFile);
    if (!station.held()) {
        std::fputs(torven::stationRefusal(station).c_str(), stderr);
        return torven::stationRefusedStatus;
    }
    return torven::runProgram(torven::programSite());
}
