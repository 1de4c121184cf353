#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace torven::bench {

// GET requests to an HTTP server on 127.0.0.1, each on a connection of its own, as the remote
// status server closes every connection after its answer. A get returns once the whole answer
// is in (its head and the Content-Length bytes of its body), so that timing it gives what a
// client waits for: connecting, the request and the answer.
class LoopbackHttpClient {
  public:
    explicit LoopbackHttpClient(std::uint16_t port) : port_(port) {}

    struct Answer {
        int status = 0;
        std::string body;
    };

    // The answer to GET path; none when no connection was had or the answer was malformed.
    std::optional<Answer> get(const std::string& path) const;

  private:
    std::uint16_t port_;
};

}  // namespace torven::bench
