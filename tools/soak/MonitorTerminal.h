#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "platform/FileDescriptor.h"

namespace torven::soak {

// A pseudo-terminal of 80 x 51 characters for the monitor's standard input and output: the
// monitor reads keys only from a terminal, so the run types its menu choices here. What the
// monitor draws is read and thrown away on a thread of its own, so that it never blocks on a
// full terminal.
class MonitorTerminal {
  public:
    // None, with the reason in `message`, when no pseudo-terminal can be had.
    static std::unique_ptr<MonitorTerminal> open(std::string& message);
    MonitorTerminal(int master, int slave, int stopRead, int stopWrite);
    MonitorTerminal(const MonitorTerminal&) = delete;
    MonitorTerminal& operator=(const MonitorTerminal&) = delete;
    ~MonitorTerminal();

    // The descriptor the monitor gets as its standard input and output.
    int programSide() const { return slave_; }
    // Bytes as if typed at the keyboard; false when they could not all be written.
    bool type(std::string_view bytes) const;
    // How many typed bytes the monitor has not read yet.
    int unread() const;

  private:
    void drain() const;

    platform::FileDescriptor master_;
    int slave_;
    int stopRead_;
    int stopWrite_;
    std::thread drainer_;
};

}  // namespace torven::soak
