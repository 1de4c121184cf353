#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torven::test {

// One answer as curl received it.
struct HttpAnswer {
    int status = 0;       // 0 when no answer came
    std::string headers;  // the status line and the header fields, each line ending in CR LF
    std::string body;
    std::string error;  // curl's complaint when no answer came

    // The value of a header field (the name in any case); none when it is not there.
    std::optional<std::string> header(const std::string& name) const;
};

// Requests to an HTTP server on 127.0.0.1 through curl, each on a connection of its own and
// bounded in time.
class HttpProbe {
  public:
    explicit HttpProbe(std::uint16_t port) : port_(port) {}

    std::string url(const std::string& path) const;
    // A request with the given method ("GET", "HEAD", "POST", ...) and further header lines
    // ("Name: value").
    HttpAnswer request(const std::string& method, const std::string& path,
                       const std::vector<std::string>& headerLines = {}) const;
    HttpAnswer get(const std::string& path,
                   const std::vector<std::string>& headerLines = {}) const {
        return request("GET", path, headerLines);
    }

  private:
    std::uint16_t port_;
};

}  // namespace torven::test
