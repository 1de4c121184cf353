#include "platform/HttpServer.h"

#include <microhttpd.h>

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/NativeSocketAddress.h"

namespace torven::platform {

namespace {

constexpr unsigned pollingThreads = 2;

bool sameName(const std::string& left, const std::string& right) {
    return std::equal(
        left.begin(), left.end(), right.begin(), right.end(),
        [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); });
}

MHD_Result collectHeader(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto& request = *static_cast<HttpRequest*>(cls);
    request.headers.emplace_back(key, value != nullptr ? value : "");
    return MHD_YES;
}

MHD_Result collectArgument(void* cls, MHD_ValueKind, const char* key, const char* value) {
    auto& request = *static_cast<HttpRequest*>(cls);
    if (!request.query.empty())
        request.query += '&';
    request.query += key;
    if (value != nullptr)
        request.query += std::string("=") + value;
    return MHD_YES;
}

HttpRequest requestOf(MHD_Connection* connection, const char* url, const char* method) {
    HttpRequest request{.method = method, .path = url, .query = {}, .headers = {}};
    MHD_get_connection_values(connection, MHD_HEADER_KIND, collectHeader, &request);
    MHD_get_connection_values(connection, MHD_GET_ARGUMENT_KIND, collectArgument, &request);
    return request;
}

MHD_Result queue(MHD_Connection* connection, const HttpResponse& answer) {
    MHD_Response* response = MHD_create_response_from_buffer(
        answer.body.size(), const_cast<char*>(answer.body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr)
        return MHD_NO;
    if (!answer.contentType.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, answer.contentType.c_str());
    for (const auto& [name, value] : answer.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    const MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(answer.status), response);
    MHD_destroy_response(response);
    return queued;
}

}  // namespace

// The library's daemon, stopped when this goes.
struct HttpServer::Daemon {
    MHD_Daemon* daemon = nullptr;
    ~Daemon() {
        if (daemon != nullptr)
            MHD_stop_daemon(daemon);
    }
};

namespace {

bool bringsBody(MHD_Connection* connection) {
    const char* length =
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    return (length != nullptr && std::string_view(length) != "0") ||
           MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                       MHD_HTTP_HEADER_TRANSFER_ENCODING) != nullptr;
}

// Called when a request's header fields are in, then for each piece of its body, then at its
// end. A request without a body is answered at its end, so that the connection stays open for
// the next one. A request that announces a body is answered at once, before anything of the
// body is asked for or read; the library then closes its connection.
MHD_Result answerRequest(void* cls, MHD_Connection* connection, const char* url, const char* method,
                         const char*, const char*, std::size_t*, void** requestState) {
    if (*requestState == nullptr && !bringsBody(connection)) {
        *requestState = cls;
        return MHD_YES;
    }
    const auto& handler = *static_cast<const HttpServer::Handler*>(cls);
    // Nothing may unwind into the library's C frames; without memory for an answer the
    // connection is closed instead.
    try {
        return queue(connection, handler(requestOf(connection, url, method)));
    } catch (...) {
        return MHD_NO;
    }
}

}  // namespace

const std::string* HttpRequest::header(const std::string& name) const {
    const auto found = std::find_if(headers.begin(), headers.end(), [&name](const auto& field) {
        return sameName(field.first, name);
    });
    return found != headers.end() ? &found->second : nullptr;
}

HttpServer::HttpServer(Private, Handler handler)
    : handler_(std::move(handler)), daemon_(std::make_unique<Daemon>()) {}

HttpServer::~HttpServer() = default;

std::unique_ptr<HttpServer> HttpServer::start(const std::string& address, std::uint16_t port,
                                              Handler handler, std::string& problem) {
    const std::optional<native::SocketAddress> socketAddress =
        native::numericSocketAddress(address, port);
    if (!socketAddress) {
        problem = "\"" + address + "\" is not a numeric IPv4 or IPv6 address";
        return nullptr;
    }
    auto server = std::make_unique<HttpServer>(Private{}, std::move(handler));
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO;
    if (socketAddress->ipv6)
        flags |= MHD_USE_IPv6;
    server->daemon_->daemon = MHD_start_daemon(
        flags, port, nullptr, nullptr, answerRequest, &server->handler_, MHD_OPTION_SOCK_ADDR,
        reinterpret_cast<const sockaddr*>(socketAddress->bytes.data()), MHD_OPTION_THREAD_POOL_SIZE,
        pollingThreads, MHD_OPTION_CONNECTION_LIMIT, maxConnections, MHD_OPTION_CONNECTION_TIMEOUT,
        idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT, requestHeadBytes, MHD_OPTION_END);
    if (server->daemon_->daemon == nullptr) {
        problem = "cannot listen on " + address + " port " + std::to_string(port) +
                  " (the address is not this computer's, or the port is in use)";
        return nullptr;
    }
    return server;
}

std::uint16_t HttpServer::port() const {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_->daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info != nullptr ? info->port : 0;
}

}  // namespace torven::platform
