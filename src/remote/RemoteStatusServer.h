#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/HttpServer.h"
#include "remote/PlotCache.h"
#include "remote/StatusRequestHandler.h"

namespace torven {

class SiteConfiguration;

// The remote status of a running monitor, served read-only over HTTP beside the main loop.
// Each request takes a snapshot of the site under the program lock and lets go of the lock
// before it reads a file or writes to the connection, so no client can delay a pass.
class RemoteStatusServer {
  public:
    struct Settings {
        std::string address;
        std::uint16_t port = 0;
        std::optional<std::string> token;
    };

    // Serves the site's status; none, with the reason in problem, when it cannot listen.
    static std::unique_ptr<RemoteStatusServer> start(SiteConfiguration& site,
                                                     const Settings& settings,
                                                     std::string& problem);
    RemoteStatusServer(SiteConfiguration& site, std::optional<std::string> token);
    RemoteStatusServer(const RemoteStatusServer&) = delete;
    RemoteStatusServer& operator=(const RemoteStatusServer&) = delete;
    // Stops serving; the calling thread must not hold the program lock, which a request
    // being answered may be waiting for.
    ~RemoteStatusServer();

    std::uint16_t port() const { return server_ ? server_->port() : 0; }

  private:
    StatusSnapshot snapshot() const;
    std::string page(const StatusSnapshot& snapshot);

    SiteConfiguration& site_;
    const std::int64_t startTime_;
    PlotCache plots_;
    StatusRequestHandler handler_;
    std::unique_ptr<platform::HttpServer> server_;
};

}  // namespace torven
