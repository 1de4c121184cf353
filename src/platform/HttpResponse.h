#pragma once

#include <string>
#include <utility>
#include <vector>

namespace torven::platform {

// An answer to an HTTP request; the server leaves the body out for HEAD.
struct HttpResponse {
    int status = 200;
    std::string contentType;
    std::string body;
    // Further header fields, such as Allow or WWW-Authenticate.
    std::vector<std::pair<std::string, std::string>> headers;
};

}  // namespace torven::platform
