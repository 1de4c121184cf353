#include "platform/SignalWatcher.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace torven::platform {

namespace {

// The console calls its control handler on a thread of the system's, with no way to reach
// an object; the request it carries goes to the watching thread through these.
HANDLE requestArrived = nullptr;
std::atomic<int> requestedStop{-1};

constexpr WORD plainColours = 0x07;

StopSignal stopSignalOf(DWORD event) {
    switch (event) {
        case CTRL_CLOSE_EVENT:
            return StopSignal::ConsoleClosed;
        case CTRL_LOGOFF_EVENT:
            return StopSignal::LogOff;
        case CTRL_SHUTDOWN_EVENT:
            return StopSignal::ShutDown;
        default:
            return StopSignal::Interrupt;
    }
}

// Hands the request to the watching thread and keeps the system's thread here: Windows ends
// the process as soon as a handler returns from a close, log-off or shut-down event, and the
// watching thread ends it itself once the files are handed over.
BOOL WINAPI onConsoleControl(DWORD event) {
    int expected = -1;
    if (requestedStop.compare_exchange_strong(expected, static_cast<int>(stopSignalOf(event))))
        ::SetEvent(requestArrived);
    ::Sleep(INFINITE);
    return TRUE;
}

// The colours and cursor of a console on standard output.
void restoreConsole() {
    const HANDLE console = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode))
        return;
    ::SetConsoleTextAttribute(console, plainColours);
    CONSOLE_CURSOR_INFO cursor{};
    if (::GetConsoleCursorInfo(console, &cursor)) {
        cursor.bVisible = TRUE;
        ::SetConsoleCursorInfo(console, &cursor);
    }
}

LONG WINAPI restoreConsoleOnCrash(EXCEPTION_POINTERS*) {
    restoreConsole();
    return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

SignalWatcher::SignalWatcher(std::function<void(StopSignal)> handler)
    : handler_(std::move(handler)) {
    requestArrived = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
    thread_ = std::thread([this] { watch(); });
}

SignalWatcher::~SignalWatcher() {
    if (!thread_.joinable())
        return;
    stopping_ = true;
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
    if (!handling_)
        ::SetEvent(requestArrived);
    thread_.join();
    ::CloseHandle(std::exchange(requestArrived, nullptr));
}

void SignalWatcher::watch() {
    ::WaitForSingleObject(requestArrived, INFINITE);
    const int request = requestedStop.load();
    if (stopping_ || request < 0)
        return;
    handling_ = true;
    handler_(static_cast<StopSignal>(request));
}

void restoreTerminalOnCrash() {
    static std::once_flag installed;
    std::call_once(installed, [] { ::SetUnhandledExceptionFilter(restoreConsoleOnCrash); });
}

void exitProcess(int status) {
    restoreConsole();
    std::fflush(nullptr);
    std::_Exit(status);
}

}  // namespace torven::platform
