#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "remote/StatusRequestHandler.h"
#include "support/ScratchStation.h"

namespace torven {
namespace {

using platform::HttpRequest;
using platform::HttpResponse;

StatusRequestHandler handlerWithToken(std::optional<std::string> token) {
    return StatusRequestHandler(
        [] {
            StatusSnapshot snapshot;
            snapshot.site = "S1";
            snapshot.mode = "DATALOG";
            return snapshot;
        },
        [](const StatusSnapshot& snapshot) { return "<p>" + snapshot.site + "</p>"; },
        std::move(token));
}

const std::string* field(const HttpResponse& response, const std::string& name) {
    for (const auto& [fieldName, value] : response.headers) {
        if (fieldName == name)
            return &value;
    }
    return nullptr;
}

struct Exchange {
    std::string method;
    std::string path;
    std::optional<std::string> authorization;
    int status;
    std::string contentType;
};

TEST(StatusRequestHandlerTest, AnswersTheThreePagesToGetAndHeadAndNothingElse) {
    const StatusRequestHandler handler = handlerWithToken(std::nullopt);
    const std::vector<Exchange> exchanges = {
        {"GET", "/", {}, 200, "text/html; charset=utf-8"},
        {"HEAD", "/", {}, 200, "text/html; charset=utf-8"},
        {"GET", "/metrics", {}, 200, "text/plain; version=0.0.4; charset=utf-8"},
        {"GET", "/status.json", {}, 200, "application/json"},
        {"GET", "/metrics/", {}, 404, "text/plain; charset=utf-8"},
        {"GET", "/../Data/", {}, 404, "text/plain; charset=utf-8"},
        {"GET", "/tmp/20110503_181845_HT1.csv", {}, 404, "text/plain; charset=utf-8"},
        {"GET", "", {}, 404, "text/plain; charset=utf-8"},
        {"POST", "/metrics", {}, 405, "text/plain; charset=utf-8"},
        {"PUT", "/", {}, 405, "text/plain; charset=utf-8"},
        {"get", "/", {}, 405, "text/plain; charset=utf-8"},
    };
    for (const Exchange& exchange : exchanges) {
        const HttpResponse response = handler.handle(
            {.method = exchange.method, .path = exchange.path, .query = {}, .headers = {}});
        EXPECT_EQ(response.status, exchange.status) << exchange.method << " " << exchange.path;
        EXPECT_EQ(response.contentType, exchange.contentType) << exchange.path;
        ASSERT_NE(field(response, "Cache-Control"), nullptr);
        EXPECT_EQ(*field(response, "Cache-Control"), "no-store");
        if (exchange.status == 405) {
            EXPECT_EQ(*field(response, "Allow"), "GET, HEAD");
        }
    }
    const HttpResponse page =
        handler.handle({.method = "GET", .path = "/", .query = "x=/etc/passwd", .headers = {}});
    EXPECT_EQ(page.body, "<p>S1</p>");
    EXPECT_NE(field(page, "Content-Security-Policy"), nullptr);
}

TEST(StatusRequestHandlerTest, WithATokenEveryRequestWithoutItIsUnauthorized) {
    const StatusRequestHandler handler = handlerWithToken("s3cret-token");
    const std::vector<Exchange> exchanges = {
        {"GET", "/", {}, 401, ""},
        {"GET", "/metrics", "Bearer s3cret-token", 200, ""},
        {"HEAD", "/status.json", "Bearer s3cret-token", 200, ""},
        {"GET", "/metrics", "Bearer s3cret-toke", 401, ""},
        {"GET", "/metrics", "Bearer s3cret-token2", 401, ""},
        {"GET", "/metrics", "Bearer ", 401, ""},
        {"GET", "/metrics", "s3cret-token", 401, ""},
        {"GET", "/metrics", "Basic czNjcmV0LXRva2Vu", 401, ""},
        {"GET", "/nothing", {}, 401, ""},
        {"POST", "/", {}, 401, ""},
        {"POST", "/", "Bearer s3cret-token", 405, ""},
    };
    for (const Exchange& exchange : exchanges) {
        HttpRequest request{
            .method = exchange.method, .path = exchange.path, .query = {}, .headers = {}};
        if (exchange.authorization)
            request.headers.emplace_back("authorization", *exchange.authorization);
        const HttpResponse response = handler.handle(request);
        EXPECT_EQ(response.status, exchange.status) << exchange.method << " " << exchange.path
                                                    << " " << exchange.authorization.value_or("-");
        if (response.status == 401) {
            EXPECT_EQ(response.body.find("S1"), std::string::npos);
            ASSERT_NE(field(response, "WWW-Authenticate"), nullptr);
        }
    }
}

TEST(StatusRequestHandlerTest, TheTokenIsTheFirstLineOfItsFileWithoutBlanks) {
    const test::ScratchStation station;
    const std::vector<std::pair<std::string, std::optional<std::string>>> files = {
        {"abc\n", "abc"},          {"  abc \r\nsecond line\n", "abc"}, {"abc", "abc"},
        {"\nabc\n", std::nullopt}, {" \t\r\n", std::nullopt},          {"", std::nullopt},
    };
    for (const auto& [content, token] : files) {
        station.writeFile("token.txt", content);
        EXPECT_EQ(readTokenFile(station.path("token.txt").string()), token) << content;
    }
    EXPECT_EQ(readTokenFile(station.path("no-such-file").string()), std::nullopt);
}

}  // namespace
}  // namespace torven
