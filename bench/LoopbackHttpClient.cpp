#include "bench/LoopbackHttpClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <utility>

namespace torven::bench {

namespace {

constexpr std::string_view headEnd = "\r\n\r\n";
constexpr std::string_view lengthField = "\r\ncontent-length:";

// A TCP connection to a port of loopback, closed when it goes.
class Connection {
  public:
    explicit Connection(std::uint16_t port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = socket_ >= 0 &&
                     ::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        // The request goes out whole at once, not held back for a fuller segment.
        const int noDelay = 1;
        if (connected_)
            ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (socket_ >= 0)
            ::close(socket_);
    }

    bool connected() const { return connected_; }

    bool sendAll(std::string_view bytes) const {
        while (!bytes.empty()) {
            const ssize_t count = ::send(socket_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (count <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(count));
        }
        return true;
    }

    // Appends what arrives next; false at the end of the connection or on an error.
    bool receiveInto(std::string& received) const {
        char chunk[16384];
        const ssize_t count = ::recv(socket_, chunk, sizeof chunk, 0);
        if (count <= 0)
            return false;
        received.append(chunk, static_cast<std::size_t>(count));
        return true;
    }

  private:
    int socket_;
    bool connected_ = false;
};

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    for (char& letter : lower) {
        if (letter >= 'A' && letter <= 'Z')
            letter = static_cast<char>(letter - 'A' + 'a');
    }
    return lower;
}

// The status code and the body length of an answer's head; none without a Content-Length.
std::optional<std::pair<int, std::size_t>> parseHead(std::string_view head) {
    if (!head.starts_with("HTTP/1.1 ") || head.size() < 12)
        return std::nullopt;
    const int status = std::atoi(std::string(head.substr(9, 3)).c_str());
    const std::string lower = lowerCase(head);
    const std::size_t field = lower.find(lengthField);
    if (field == std::string::npos)
        return std::nullopt;
    const char* digits = lower.c_str() + field + lengthField.size();
    return std::pair{status, static_cast<std::size_t>(std::strtoull(digits, nullptr, 10))};
}

}  // namespace

std::optional<LoopbackHttpClient::Answer> LoopbackHttpClient::get(const std::string& path) const {
    const Connection connection(port_);
    if (!connection.connected() ||
        !connection.sendAll("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"))
        return std::nullopt;
    std::string received;
    std::size_t end = std::string::npos;
    while ((end = received.find(headEnd)) == std::string::npos) {
        if (!connection.receiveInto(received))
            return std::nullopt;
    }
    const auto head = parseHead(std::string_view(received).substr(0, end));
    if (!head)
        return std::nullopt;
    const std::size_t bodyStart = end + headEnd.size();
    while (received.size() < bodyStart + head->second) {
        if (!connection.receiveInto(received))
            return std::nullopt;
    }
    return Answer{head->first, received.substr(bodyStart, head->second)};
}

}  // namespace torven::bench
