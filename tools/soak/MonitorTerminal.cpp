#include "soak/MonitorTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace torven::soak {

namespace {

// The size the monitor's screen is made for.
constexpr unsigned short kColumns = 80;
constexpr unsigned short kRows = 51;

}  // namespace

std::unique_ptr<MonitorTerminal> MonitorTerminal::open(std::string& message) {
    int master = -1;
    int slave = -1;
    winsize size{};
    size.ws_col = kColumns;
    size.ws_row = kRows;
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
        message =
            std::string("cannot open a pseudo-terminal for the monitor: ") + std::strerror(errno);
        return nullptr;
    }
    // The monitor gets the program side as copies on its standard input and output; neither
    // original belongs in it.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    int stop[2] = {-1, -1};
    if (pipe2(stop, O_CLOEXEC) != 0) {
        message = std::string("cannot make a pipe: ") + std::strerror(errno);
        close(master);
        close(slave);
        return nullptr;
    }
    return std::make_unique<MonitorTerminal>(master, slave, stop[0], stop[1]);
}

MonitorTerminal::MonitorTerminal(int master, int slave, int stopRead, int stopWrite)
    : master_(master), slave_(slave), stopRead_(stopRead), stopWrite_(stopWrite) {
    drainer_ = std::thread([this] { drain(); });
}

MonitorTerminal::~MonitorTerminal() {
    const char stop = 'x';
    [[maybe_unused]] const ssize_t written = write(stopWrite_, &stop, 1);
    drainer_.join();
    for (int descriptor : {slave_, stopRead_, stopWrite_})
        close(descriptor);
}

bool MonitorTerminal::type(std::string_view bytes) const {
    return master_.writeAll(bytes);
}

int MonitorTerminal::unread() const {
    int count = 0;
    return ioctl(slave_, FIONREAD, &count) == 0 ? count : 0;
}

void MonitorTerminal::drain() const {
    pollfd sources[2] = {{master_.get(), POLLIN, 0}, {stopRead_, POLLIN, 0}};
    char buffer[4096];
    for (;;) {
        if (poll(sources, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (sources[1].revents != 0)
            return;
        const ssize_t count = read(master_.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
    }
}

}  // namespace torven::soak
