#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "config/SiteConfiguration.h"
#include "platform/StationLock.h"
#include "remote/StatusRequestHandler.h"
#include "shell/CommandLine.h"
#include "shell/Program.h"

namespace {

void complain(const std::string& text) {
    std::fputs(("torven-monitor: " + text + "\n").c_str(), stderr);
}

// The remote status settings the command line asks for; false (having said why) when its
// token file gives no token.
bool remoteSettings(const torven::CommandLine& line,
                    std::optional<torven::RemoteStatusServer::Settings>& remote) {
    if (!line.httpAddress)
        return true;
    remote = torven::RemoteStatusServer::Settings{
        .address = *line.httpAddress, .port = line.httpPort, .token = std::nullopt};
    if (!line.tokenFile)
        return true;
    remote->token = torven::readTokenFile(*line.tokenFile);
    if (!remote->token) {
        complain("cannot read a token from \"" + *line.tokenFile +
                 "\" (its first line must hold the token)");
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string problem;
    const std::optional<torven::CommandLine> line =
        torven::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), problem);
    if (!line) {
        complain(problem + " (--help lists the options)");
        return torven::usageErrorStatus;
    }
    if (line->help) {
        std::fputs(torven::usageText().c_str(), stdout);
        return 0;
    }
    std::optional<torven::RemoteStatusServer::Settings> remote;
    if (!remoteSettings(*line, remote))
        return torven::remoteStatusFailedStatus;
    // Before any file of the station, a port or the terminal is touched: one monitor per
    // station. Static, so that the lock is let go only after every other object of the
    // program is gone, whichever way the process ends.
    static const torven::platform::StationLock station(torven::stationLockFile);
    if (!station.held()) {
        std::fputs(torven::stationRefusal(station).c_str(), stderr);
        return torven::stationRefusedStatus;
    }
    return torven::runProgram(torven::programSite(), remote);
}
