#pragma once

#include <functional>
#include <thread>

namespace torven::platform {

enum class StopSignal { Interrupt, Terminate, HangUp };

// Takes Control-C (SIGINT), SIGTERM and SIGHUP away from every thread and hands the first
// one that arrives to `handler` on a thread of its own. Create it before any other thread
// starts, so that every thread inherits the blocked signals. The handler is expected to end
// the process.
class SignalWatcher {
public:
    explicit SignalWatcher(std::function<void(StopSignal)> handler);
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;
    ~SignalWatcher();

private:
    std::function<void(StopSignal)> handler_;
    std::thread thread_;
};

// Restores the terminal (settings, colours, cursor) if the process dies of a crash signal.
void restoreTerminalOnCrash();

// Ends the process with the given status after the normal exit clean-up.
[[noreturn]] void exitProcess(int status);

}  // namespace torven::platform
