#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace torven::platform {

// Interrupt is Control-C on either system; Terminate and HangUp are SIGTERM and SIGHUP; the
// console window closed, the user logging off and the system shutting down are Windows's.
enum class StopSignal { Interrupt, Terminate, HangUp, ConsoleClosed, LogOff, ShutDown };

// Hands the first request to stop to `handler` on a thread of its own: Control-C, and what the
// system sends a program it ends (on Linux SIGTERM and SIGHUP, which it takes away from every
// thread; on Windows the closing of the console window, log-off and shut-down). Create it
// before any other thread starts, so that every thread inherits the blocked signals. The
// handler is expected to end the process with exitProcess.
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

// Ends the process with the given status at once: the terminal is given back as after a
// crash (settings, colours, cursor) and the standard streams are flushed, but no destructor
// of a static object runs. Another thread may still be inside those objects (the main
// thread waiting for a key while the stop-signal handler ends the program), and files are
// never held open between writes, so nothing is lost by leaving them alone.
[[noreturn]] void exitProcess(int status);

}  // namespace torven::platform
