#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

#include "platform/NativeSocketAddress.h"

namespace torven::platform::native {

std::optional<SocketAddress> numericSocketAddress(const std::string& host, std::uint16_t port) {
    SocketAddress address;
    sockaddr_in ipv4{};
    if (::inet_pton(AF_INET, host.c_str(), &ipv4.sin_addr) == 1) {
        ipv4.sin_family = AF_INET;
        ipv4.sin_port = htons(port);
        std::memcpy(address.bytes.data(), &ipv4, sizeof ipv4);
        return address;
    }
    sockaddr_in6 ipv6{};
    if (::inet_pton(AF_INET6, host.c_str(), &ipv6.sin6_addr) == 1) {
        ipv6.sin6_family = AF_INET6;
        ipv6.sin6_port = htons(port);
        std::memcpy(address.bytes.data(), &ipv6, sizeof ipv6);
        address.ipv6 = true;
        return address;
    }
    return std::nullopt;
}

}  // namespace torven::platform::native
