#include "remote/RemoteStatusServer.h"

#include "config/SiteConfiguration.h"
#include "platform/ProgramLock.h"
#include "platform/SystemClock.h"
#include "remote/StatusPage.h"

namespace torven {

std::unique_ptr<RemoteStatusServer> RemoteStatusServer::start(SiteConfiguration& site,
                                                              const Settings& settings,
                                                              std::string& problem) {
    auto status = std::make_unique<RemoteStatusServer>(site, settings.token);
    status->server_ = platform::HttpServer::start(
        settings.address, settings.port,
        [handler = &status->handler_](const platform::HttpRequest& request) {
            return handler->handle(request);
        },
        problem);
    if (!status->server_)
        return nullptr;
    return status;
}

RemoteStatusServer::RemoteStatusServer(SiteConfiguration& site, std::optional<std::string> token)
    : site_(site),
      startTime_(platform::currentEpochSeconds()),
      plots_(site.tmpDirectory, site.dataDirectory),
      handler_([this] { return snapshot(); },
               [this](const StatusSnapshot& snapshot) { return page(snapshot); },
               std::move(token)) {}

RemoteStatusServer::~RemoteStatusServer() {
    server_.reset();
}

StatusSnapshot RemoteStatusServer::snapshot() const {
    StatusSnapshot snapshot =
        platform::ProgramLock::holding([this] { return takeStatusSnapshot(site_, startTime_); });
    countFinishedFiles(snapshot, site_.tmpDirectory);
    return snapshot;
}

std::string RemoteStatusServer::page(const StatusSnapshot& snapshot) {
    return statusPage(snapshot, plots_.update(snapshot, platform::currentEpochSeconds()));
}

}  // namespace torven
