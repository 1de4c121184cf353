#pragma once

#include <cstdint>

namespace torven::test {

// A TCP socket of the test listening on 127.0.0.1, on a port that was free: to hold a port
// that the program under test must find taken, or, closed again at once, to find a free port
// for it. Ports come from 20000-29999, below the system's range of ports for outgoing
// connections, so that no client connection can take one between the test's choice and the
// program's start; where the search begins depends on the process id, so that tests running
// side by side try different ports.
class LoopbackListener {
  public:
    LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;
    ~LoopbackListener();

    // 0 when no port of the range was free.
    std::uint16_t port() const { return port_; }
    void close();

    // A port that was free a moment ago (0 when none was).
    static std::uint16_t freePort();
    // Whether the port can be bound on 127.0.0.1 now (nothing listens there any more).
    static bool isFree(std::uint16_t port);

  private:
    int socket_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace torven::test
