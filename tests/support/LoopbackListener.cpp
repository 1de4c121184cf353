#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace torven::test {

namespace {

constexpr unsigned firstPort = 20000;
constexpr unsigned portCount = 10000;

// A listening socket on 127.0.0.1:port; -1 when something listens there. Connections that
// a server there closed last (waiting out their time) do not count.
int listenOn(std::uint16_t port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return -1;
    const int reuse = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket, 16) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

// Successive choices within one process start at successive places.
unsigned searchStart() {
    static std::atomic<unsigned> choices{0};
    return static_cast<unsigned>(::getpid()) * 7919U + choices++ * 101U;
}

}  // namespace

LoopbackListener::LoopbackListener() {
    const unsigned start = searchStart();
    for (unsigned step = 0; step < portCount && socket_ < 0; ++step) {
        const auto candidate = static_cast<std::uint16_t>(firstPort + (start + step) % portCount);
        socket_ = listenOn(candidate);
        if (socket_ >= 0)
            port_ = candidate;
    }
}

LoopbackListener::~LoopbackListener() {
    close();
}

void LoopbackListener::close() {
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

std::uint16_t LoopbackListener::freePort() {
    return LoopbackListener().port();
}

bool LoopbackListener::isFree(std::uint16_t port) {
    const int socket = listenOn(port);
    if (socket < 0)
        return false;
    ::close(socket);
    return true;
}

}  // namespace torven::test
