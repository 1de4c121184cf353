#pragma once

#include <optional>
#include <string>

#include "platform/SignalWatcher.h"
#include "platform/StationLock.h"
#include "remote/RemoteStatusServer.h"

namespace torven {

class SiteConfiguration;

inline constexpr const char* versionText = "0.40";

// The lock file in the station folder that keeps a station to one monitor.
inline constexpr const char* stationLockFile = "..\\torven-monitor.lock";
// The exit status of a monitor that does not run because it could not lock its station.
inline constexpr int stationRefusedStatus = 2;

// The program: start-up (console, configuration, banner, countdown), the menu loop and the
// normal end, with the remote status served beside it when remote is given. Returns the exit
// status: 0, or remoteStatusFailedStatus when the remote status cannot be served (before the
// terminal is touched).
int runProgram(SiteConfiguration& site,
               const std::optional<RemoteStatusServer::Settings>& remote = std::nullopt);

// Loads the configuration when its file changed since the last attempt; while loads fail,
// shows the red error box every 2000 ms until the file changes again. True when this call
// loaded a configuration.
bool reloadConfiguration(SiteConfiguration& site);

// The red configuration error box with the latest event log entry.
void showErrorBox(SiteConfiguration& site);

// "SYSTEM SHUTDOWN:" and the time of the last pass.
void showShutdownTime(SiteConfiguration& site);

// The orderly end on Control-C (or SIGTERM / SIGHUP): log, stop the controller, disconnect,
// flash the CONTROL-C box, shutdown time, dump, exit status -1. Never returns.
[[noreturn]] void onStopSignal(SiteConfiguration& site, platform::StopSignal signal);

// The line for standard error that tells why a monitor that could not take `lock` ends.
std::string stationRefusal(const platform::StationLock& lock);

}  // namespace torven
