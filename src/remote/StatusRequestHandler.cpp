#include "remote/StatusRequestHandler.h"

#include <utility>

#include "platform/FileSystem.h"
#include "remote/MetricsText.h"
#include "remote/RemoteText.h"
#include "remote/StatusJson.h"

namespace torven {

namespace {

constexpr const char* bearerPrefix = "Bearer ";

// Compares every byte whatever the first difference, so that the time an answer takes tells
// nothing of how much of a guessed token was right.
bool sameSecret(const std::string& given, const std::string& secret) {
    unsigned char difference = given.size() == secret.size() ? 0 : 1;
    for (std::size_t index = 0; index < given.size(); ++index) {
        const char expected = secret.empty() ? '\0' : secret[index % secret.size()];
        difference |= static_cast<unsigned char>(given[index] ^ expected);
    }
    return difference == 0;
}

platform::HttpResponse textAnswer(int status, std::string text) {
    return {.status = status,
            .contentType = "text/plain; charset=utf-8",
            .body = std::move(text) + "\n",
            .headers = {}};
}

// What every answer carries: never cached (it is the state of one moment), never taken for
// another type than it says.
void addCommonHeaders(platform::HttpResponse& response) {
    response.headers.emplace_back("Cache-Control", "no-store");
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
}

}  // namespace

StatusRequestHandler::StatusRequestHandler(SnapshotSource snapshot, PageMaker page,
                                           std::optional<std::string> token)
    : snapshot_(std::move(snapshot)), page_(std::move(page)), token_(std::move(token)) {}

platform::HttpResponse StatusRequestHandler::handle(const platform::HttpRequest& request) const {
    platform::HttpResponse response;
    if (!authorized(request)) {
        response = textAnswer(401, "Unauthorized");
        response.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"torven-monitor\"");
    } else if (request.method != "GET" && request.method != "HEAD") {
        response = textAnswer(405, "Method Not Allowed");
        response.headers.emplace_back("Allow", "GET, HEAD");
    } else if (request.path == "/metrics") {
        response = {.status = 200,
                    .contentType = "text/plain; version=0.0.4; charset=utf-8",
                    .body = metricsText(snapshot_()),
                    .headers = {}};
    } else if (request.path == "/status.json") {
        response = {.status = 200,
                    .contentType = "application/json",
                    .body = statusJson(snapshot_()),
                    .headers = {}};
    } else if (request.path == "/") {
        response = {.status = 200,
                    .contentType = "text/html; charset=utf-8",
                    .body = page_(snapshot_()),
                    .headers = {}};
        // The page is whole in itself: nothing may be loaded from anywhere, no script run.
        response.headers.emplace_back("Content-Security-Policy",
                                      "default-src 'none'; style-src 'unsafe-inline'");
    } else {
        response = textAnswer(404, "Not Found");
    }
    addCommonHeaders(response);
    return response;
}

bool StatusRequestHandler::authorized(const platform::HttpRequest& request) const {
    if (!token_)
        return true;
    const std::string* field = request.header("Authorization");
    if (field == nullptr || field->rfind(bearerPrefix, 0) != 0)
        return false;
    return sameSecret(field->substr(std::string(bearerPrefix).size()), *token_);
}

std::optional<std::string> readTokenFile(const std::string& path) {
    const std::optional<std::string> text = platform::readWholeFile(path);
    if (!text)
        return std::nullopt;
    std::string token(withoutBlanks(std::string_view(*text).substr(0, text->find('\n'))));
    if (token.empty())
        return std::nullopt;
    return token;
}

}  // namespace torven
