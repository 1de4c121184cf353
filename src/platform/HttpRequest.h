#pragma once

#include <string>
#include <utility>
#include <vector>

namespace torven::platform {

// A request as the HTTP server hands it over: the method, the path (decoded, without the
// query), the query text and the header fields, names as the client sent them.
struct HttpRequest {
    std::string method;
    std::string path;
    std::string query;
    std::vector<std::pair<std::string, std::string>> headers;

    // The value of the first header field of that name (names compared ignoring case);
    // none when there is no such field.
    const std::string* header(const std::string& name) const;
};

}  // namespace torven::platform
