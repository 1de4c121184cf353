#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/HttpRequest.h"
#include "platform/HttpResponse.h"

namespace torven::platform {

// An HTTP/1.1 server on threads of its own that hands every request to one handler. It
// bounds what a client can cost: the request line and header fields together (larger ones
// are refused with 414 or 431 before the handler sees them), the number of connections
// (further ones are closed at once) and the time a connection may stay idle. Request bodies
// are never read. The handler may be called on several threads at once.
class HttpServer {
  public:
    using Handler = std::function<HttpResponse(const HttpRequest&)>;

    // What one connection may send before its request is refused.
    static constexpr std::size_t requestHeadBytes = 16 * 1024;
    static constexpr unsigned maxConnections = 256;
    static constexpr unsigned idleSeconds = 10;

    // Listens on a numeric IPv4 or IPv6 address and a port; none, with the reason in
    // problem, when the address is no such address or cannot be bound.
    static std::unique_ptr<HttpServer> start(const std::string& address, std::uint16_t port,
                                             Handler handler, std::string& problem);

  private:
    // Only start makes servers: no one else can name the constructor's first parameter.
    struct Private {
        explicit Private() = default;
    };

  public:
    HttpServer(Private, Handler handler);
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;
    // Stops listening and waits for the handlers that are running.
    ~HttpServer();

    // The port it listens on (the one the system chose when started on port 0).
    std::uint16_t port() const;

    struct Daemon;

  private:
    Handler handler_;
    std::unique_ptr<Daemon> daemon_;
};

}  // namespace torven::platform
