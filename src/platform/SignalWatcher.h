#pragma once

#include <atomic>
#include <functional>
#include <thread>

struct termios;

namespace torven::platform {

enum class StopSignal { Interrupt, Terminate, HangUp };

// Takes Control-C (SIGINT), SIGTERM and SIGHUP away from every thread and hands the first
// one that arrives to `handler` on a thread of its own. Create it before any other thread
// starts, so that every thread inherits the blocked signals. The handler is expected to end
// the process with exitProcess.
class SignalWatcher {
  public:
    explicit SignalWatcher(std::function<void(StopSignal)> handler);
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;
    // Stops the watching thread unless a stop signal is already being handled.
    ~SignalWatcher();

  private:
    void watch();

    std::function<void(StopSignal)> handler_;
    std::atomic<bool> handling_{false};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// Restores the terminal (settings, colours, cursor) if the process dies of a crash signal
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT), then lets the signal take its course.
void restoreTerminalOnCrash();

// The terminal settings a crash or exitProcess puts back on the descriptor; the keyboard records
// them when it takes a terminal and forgets them (nullptr) when it gives it back.
void rememberTerminalSettings(int descriptor, const termios* settings);

// Ends the process with the given status at once: the terminal is given back as after a
// crash (settings, colours, cursor) and the standard streams are flushed, but no destructor
// of a static object runs. Another thread may still be inside those objects (the main
// thread waiting for a key while the stop-signal handler ends the program), and files are
// never held open between writes, so nothing is lost by leaving them alone.
[[noreturn]] void exitProcess(int status);

}  // namespace torven::platform
