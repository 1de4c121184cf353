#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The socket address of the HTTP server, made by each system's own calls.
namespace torven::platform::native {

// The bytes of a struct sockaddr_in or sockaddr_in6.
struct SocketAddress {
    alignas(16) std::array<unsigned char, 128> bytes{};
    bool ipv6 = false;
};

// The address of a numeric IPv4 ("127.0.0.1") or IPv6 ("::1") host and a port; none for
// any other text.
std::optional<SocketAddress> numericSocketAddress(const std::string& host, std::uint16_t port);

}  // namespace torven::platform::native
