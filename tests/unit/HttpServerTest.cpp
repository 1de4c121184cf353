#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/HttpServer.h"
#include "support/HostSystem.h"

namespace torven {
namespace {

using platform::HttpRequest;
using platform::HttpResponse;
using platform::HttpServer;

using Client = test::LoopbackConnection;

class HttpServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string problem;
        server = HttpServer::start(
            "127.0.0.1", 0,
            [this](const HttpRequest& request) {
                ++handled;
                lastPath = request.path;
                lastQuery = request.query;
                const std::string* agent = request.header("user-agent");
                return HttpResponse{.status = 200,
                                    .contentType = "text/plain",
                                    .body = "hello " + (agent ? *agent : std::string("?")),
                                    .headers = {{"X-Test", "1"}}};
            },
            problem);
        ASSERT_NE(server, nullptr) << problem;
        ASSERT_NE(server->port(), 0);
    }

    std::unique_ptr<HttpServer> server;
    std::atomic<int> handled{0};
    std::string lastPath;
    std::string lastQuery;
};

TEST_F(HttpServerTest, HandsTheRequestOverAndAnswersGetAndHead) {
    Client get(server->port());
    const std::string answer = get.exchange(
        "GET /metrics?a=1&b HTTP/1.1\r\nHost: x\r\nUser-Agent: probe\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_NE(answer.find("X-Test: 1\r\n"), std::string::npos);
    EXPECT_NE(answer.find("\r\n\r\nhello probe"), std::string::npos);
    EXPECT_EQ(lastPath, "/metrics");
    EXPECT_EQ(lastQuery, "a=1&b");

    Client head(server->port());
    const std::string headAnswer =
        head.exchange("HEAD / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(headAnswer.rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_EQ(headAnswer.substr(headAnswer.find("\r\n\r\n") + 4), "") << "no body for HEAD";
}

TEST_F(HttpServerTest, KeepsTheConnectionForTheNextRequestButNeverWaitsForABody) {
    Client twice(server->port());
    const std::string answers = twice.exchange(
        "GET /a HTTP/1.1\r\nHost: x\r\n\r\nGET /b HTTP/1.1\r\nHost: x\r\nConnection: "
        "close\r\n\r\n");
    EXPECT_EQ(answers.find("HTTP/1.1 200"), 0u);
    EXPECT_NE(answers.find("HTTP/1.1 200", 1), std::string::npos) << answers;
    EXPECT_EQ(lastPath, "/b");

    // The body announced is never sent: an answer that waited for it would never come.
    Client announcing(server->port());
    const std::string answer =
        announcing.exchange("POST /c HTTP/1.1\r\nHost: x\r\nContent-Length: 1000000\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << answer;
    EXPECT_EQ(lastPath, "/c");
}

TEST_F(HttpServerTest, RefusesARequestHeadLargerThanItsBoundWithoutCallingTheHandler) {
    const std::string longPath(HttpServer::requestHeadBytes, 'a');
    const std::string manyFields = [] {
        std::string fields;
        for (std::size_t index = 0; fields.size() < HttpServer::requestHeadBytes; ++index)
            fields += "X-Field-" + std::to_string(index) + ": " + std::string(40, 'v') + "\r\n";
        return fields;
    }();
    for (const std::string& request : {"GET /" + longPath + " HTTP/1.1\r\nHost: x\r\n\r\n",
                                       "GET / HTTP/1.1\r\nHost: x\r\n" + manyFields + "\r\n"}) {
        Client client(server->port());
        const std::string answer = client.exchange(request);
        EXPECT_TRUE(answer.rfind("HTTP/1.1 414", 0) == 0 || answer.rfind("HTTP/1.1 431", 0) == 0)
            << answer.substr(0, 40);
    }
    EXPECT_EQ(handled, 0);
}

TEST_F(HttpServerTest, IdleConnectionsDoNotKeepOthersWaiting) {
    std::vector<std::unique_ptr<Client>> idle;
    for (int count = 0; count < 100; ++count) {
        idle.push_back(std::make_unique<Client>(server->port()));
        ASSERT_TRUE(idle.back()->connected());
    }
    Client client(server->port());
    EXPECT_EQ(client.exchange("GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                  .rfind("HTTP/1.1 200", 0),
              0u);
}

TEST(HttpServerStartTest, SaysWhyItCannotListen) {
    const auto handler = [](const HttpRequest&) { return HttpResponse{}; };
    std::string problem;
    EXPECT_EQ(HttpServer::start("localhost", 0, handler, problem), nullptr);
    EXPECT_EQ(problem, "\"localhost\" is not a numeric IPv4 or IPv6 address");

    const std::unique_ptr<HttpServer> first = HttpServer::start("127.0.0.1", 0, handler, problem);
    ASSERT_NE(first, nullptr);
    problem.clear();
    EXPECT_EQ(HttpServer::start("127.0.0.1", first->port(), handler, problem), nullptr);
    EXPECT_NE(problem.find("port " + std::to_string(first->port())), std::string::npos) << problem;
    EXPECT_EQ(HttpServer::start("192.0.2.1", 8080, handler, problem), nullptr)
        << "not this computer's";
}

}  // namespace
}  // namespace torven
