#include "platform/SignalWatcher.h"

#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "platform/posix/TerminalSettings.h"

namespace torven::platform {

namespace {

// Sent by the destructor to the watching thread alone, to end its wait.
constexpr int wakeSignal = SIGUSR2;

sigset_t watchedSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, wakeSignal})
        sigaddset(&signals, signal);
    return signals;
}

StopSignal stopSignalOf(int signal) {
    switch (signal) {
        case SIGTERM:
            return StopSignal::Terminate;
        case SIGHUP:
            return StopSignal::HangUp;
        default:
            return StopSignal::Interrupt;
    }
}

// A crash-signal handler can reach no object, so the terminal settings it restores live
// here, outside the keyboard that owns the terminal: written only by the keyboard when it
// takes or gives back a terminal, read only by the handler.
termios crashSettings{};
volatile sig_atomic_t crashDescriptor = -1;

constexpr std::array<int, 5> crashSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
std::array<struct sigaction, crashSignals.size()> previousCrashActions{};

constexpr char terminalReset[] = "\x1b[0m\x1b[?25h";

// The keyboard's terminal settings, and the colours and cursor of a terminal on standard
// output. Uses only async-signal-safe calls and touches no object.
void restoreTerminal() {
    const int descriptor = crashDescriptor;
    if (descriptor >= 0)
        ::tcsetattr(descriptor, TCSANOW, &crashSettings);
    termios output{};
    if (::tcgetattr(STDOUT_FILENO, &output) == 0) {
        [[maybe_unused]] const ssize_t ignored =
            ::write(STDOUT_FILENO, terminalReset, sizeof terminalReset - 1);
    }
}

// Puts back the handling that was there before (the default, or a sanitizer's) and raises
// the signal again, so it ends the process as before.
extern "C" void restoreTerminalAndReraise(int signal) {
    restoreTerminal();
    for (std::size_t index = 0; index < crashSignals.size(); ++index) {
        if (crashSignals[index] == signal)
            ::sigaction(signal, &previousCrashActions[index], nullptr);
    }
    ::raise(signal);
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(StopSignal)> handler)
    : handler_(std::move(handler)) {
    const sigset_t signals = watchedSignals();
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    thread_ = std::thread([this] { watch(); });
}

SignalWatcher::~SignalWatcher() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    if (!handling_)
        ::pthread_kill(thread_.native_handle(), wakeSignal);
    thread_.join();
}

void SignalWatcher::watch() {
    const sigset_t signals = watchedSignals();
    for (;;) {
        int signal = 0;
        if (::sigwait(&signals, &signal) != 0)
            continue;
        if (signal == wakeSignal) {
            if (stopping_)
                return;
            continue;
        }
        handling_ = true;
        if (stopping_)
            return;
        handler_(stopSignalOf(signal));
        return;
    }
}

void restoreTerminalOnCrash() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_handler = restoreTerminalAndReraise;
        sigemptyset(&action.sa_mask);
        for (std::size_t index = 0; index < crashSignals.size(); ++index) {
            ::sigaction(crashSignals[index], &action, &previousCrashActions[index]);
        }
    });
}

void rememberTerminalSettings(int descriptor, const termios* settings) {
    crashDescriptor = -1;
    if (settings == nullptr)
        return;
    crashSettings = *settings;
    crashDescriptor = descriptor;
}

void exitProcess(int status) {
    restoreTerminal();
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace torven::platform
