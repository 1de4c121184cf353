#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/HttpRequest.h"
#include "platform/HttpResponse.h"
#include "remote/StatusSnapshot.h"

namespace torven {

// Answers the remote status requests: GET or HEAD of "/" (the status page), "/metrics"
// (Prometheus text) and "/status.json". Every other path is 404 and every other method 405;
// with a token set, a request without "Authorization: Bearer <token>" gets 401 whatever it
// asks. No path ever names a file: everything comes from a fresh snapshot.
class StatusRequestHandler {
  public:
    using SnapshotSource = std::function<StatusSnapshot()>;
    using PageMaker = std::function<std::string(const StatusSnapshot&)>;

    StatusRequestHandler(SnapshotSource snapshot, PageMaker page, std::optional<std::string> token);

    platform::HttpResponse handle(const platform::HttpRequest& request) const;

  private:
    bool authorized(const platform::HttpRequest& request) const;

    SnapshotSource snapshot_;
    PageMaker page_;
    std::optional<std::string> token_;
};

// The token in a token file: its first line without surrounding blanks; none when the file
// cannot be read or the line is empty.
std::optional<std::string> readTokenFile(const std::string& path);

}  // namespace torven
