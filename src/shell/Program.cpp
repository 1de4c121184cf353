#include "shell/Program.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "collection/FileHandOver.h"
#include "config/SiteConfiguration.h"
#include "eventlog/EventLog.h"
#include "platform/ProgramLock.h"
#include "shell/CommandLine.h"
#include "shell/MenuLoop.h"

namespace torven {

namespace {

constexpr int countdownSeconds = 5;
constexpr int flashFrames = 6;

constexpr const char* errorBox =
    "\n\n**************************************\n"
    "*               ERROR                *\n"
    "**************************************\n"
    "Time:     %s\n"
    "Message : %s\n"
    "\n"
    " Fix the configuration problem and the\n"
    " application will try to recover      ";

constexpr const char* controlCBox =
    "+-------------------------------+\n"
    "|                               |\n"
    "|       C O N T R O L - C       |\n"
    "|                               |\n"
    "| ***  Program Terminating  *** |\n"
    "+-------------------------------+\n";

// Five seconds in which any key (also one pressed earlier) chooses calibration.
DataLoggingMode countDown(Console& console) {
    for (int second = countdownSeconds; second >= 1; --second) {
        console.printf("Starting in %d Second(s)\r", second);
        platform::ProgramLock::sleepReleased(1000);
        if (console.pollKey() != 0) {
            console.print("OK. Entering Calibration mode\n");
            return DataLoggingMode::CALIBRATE;
        }
    }
    return DataLoggingMode::DATALOG;
}

std::string stopMessage(platform::StopSignal signal) {
    switch (signal) {
        case platform::StopSignal::Interrupt:
            return "User pressed Control-C to terminate program";
        case platform::StopSignal::Terminate:
            return "Received termination signal (SIGTERM) to terminate program";
        case platform::StopSignal::HangUp:
            return "Received hang-up signal (SIGHUP) to terminate program";
        case platform::StopSignal::ConsoleClosed:
            return "Console window closed: terminating program";
        case platform::StopSignal::LogOff:
            return "User logging off: terminating program";
        case platform::StopSignal::ShutDown:
            return "Windows shutting down: terminating program";
    }
    return "";
}

void flashControlC(Console& console) {
    for (int frame = 0; frame < flashFrames; ++frame) {
        if (frame % 2 == 0) {
            console.setAlertColours();
        } else {
            console.setAlertTextColours();
        }
        console.clearScreen();
        console.print(controlCBox);
        // The handler keeps the lock to the end, so this is a plain sleep.
        platform::sleepMilliseconds(100);
    }
}

// A stop signal that came during the end sequence waits for the lock. The watcher is ended
// with the lock let go, so that such a signal ends the program its own way instead of both
// threads waiting for each other.
void stopWatching(std::optional<platform::SignalWatcher>& watcher) {
    platform::ProgramLock::released([&watcher] {
        watcher.reset();
        return true;
    });
}

}  // namespace

int runProgram(SiteConfiguration& site, const std::optional<RemoteStatusServer::Settings>& remote) {
    // First of all, so that every thread started later inherits the blocked stop signals.
    std::optional<platform::SignalWatcher> watcher;
    watcher.emplace([&site](platform::StopSignal signal) { onStopSignal(site, signal); });
    std::unique_ptr<RemoteStatusServer> remoteStatus;
    if (remote) {
        std::string problem;
        remoteStatus = RemoteStatusServer::start(site, *remote, problem);
        if (!remoteStatus) {
            std::fputs(
                ("torven-monitor: cannot serve the remote status: " + problem + "\n").c_str(),
                stderr);
            stopWatching(watcher);
            return remoteStatusFailedStatus;
        }
    }
    platform::ProgramLock::acquire();
    // Copies that a crash or a power cut cut short are never whole: they go before any
    // hand-over could take them for finished ones.
    removeInterruptedCopies(site);
    Console& console = site.console;
    console.attachToTerminal();

    console.setNormalColours();
    console.sizeConsoleWindow(79, 50);
    console.clearScreen();
    reloadConfiguration(site);
    console.printf("TORVEN Data Collection Program.\nVersion %s\n\n", versionText);
    console.print("\nPress any key to enter calibration mode\n");
    console.dumpConsole();
    const DataLoggingMode startMode = countDown(console);
    console.print("\nStarting...");
    logEvent(LogLevel::INFO, std::string("Starting TORVEN Application Ver ") + versionText);
    console.dumpConsole();

    runMenuLoop(site, startMode);

    logEvent(LogLevel::INFO, std::string("Ending TORVEN Application Ver ") + versionText);
    site.modeController.devices.disconnectAll();
    showShutdownTime(site);
    console.dumpConsole();
    console.print("\nProgram Ending\n");
    // A request being answered may wait for the lock.
    platform::ProgramLock::released([&remoteStatus] { remoteStatus.reset(); });
    stopWatching(watcher);
    return 0;
}

bool reloadConfiguration(SiteConfiguration& site) {
    if (!site.configurationChanged())
        return false;
    while (!site.loadConfiguration()) {
        // The loader has logged why; the box repeats until someone changes the file.
        while (!site.configurationChanged()) {
            site.console.setAlertColours();
            showErrorBox(site);
            site.console.setNormalColours();
            platform::ProgramLock::sleepReleased(2000);
        }
    }
    site.shownConfigurationError.reset();
    return true;
}

void showErrorBox(SiteConfiguration& site) {
    Console& console = site.console;
    const EventLog& log = programEventLog();
    site.shownConfigurationError = log.lastEventText();
    console.clearScreen();
    console.printf(errorBox, log.lastEventTime().c_str(), log.lastEventText().c_str());
    console.dumpConsole();
}

void showShutdownTime(SiteConfiguration& site) {
    const TimeStamp& clock = site.modeController.clock;
    site.console.printf("\n\nSYSTEM SHUTDOWN:\n%s-%s-%s  %s:%s:%s\n", clock.dayText().c_str(),
                        clock.monthName().c_str(), clock.yearText().c_str(),
                        clock.hourText().c_str(), clock.minuteText().c_str(),
                        clock.secondText().c_str());
}

void onStopSignal(SiteConfiguration& site, platform::StopSignal signal) {
    // Waits until the main thread sleeps or waits for a key, and never gives the lock back:
    // the interrupted work does not resume.
    platform::ProgramLock::acquire();
    logEvent(LogLevel::INFO, stopMessage(signal));
    site.modeController.step(site, DataLoggingMode::STOPPED);
    site.modeController.devices.disconnectAll();
    flashControlC(site.console);
    site.console.setNormalColours();
    showShutdownTime(site);
    site.console.dumpConsole();
    platform::exitProcess(255);
}

std::string stationRefusal(const platform::StationLock& lock) {
    const std::string station = "the station " + lock.stationPath();
    if (lock.state() == platform::StationLock::State::HeldByAnother) {
        const std::string holder = lock.holderProcessId() > 0
                                       ? "process " + std::to_string(lock.holderProcessId())
                                       : std::string("another process");
        return "torven-monitor: " + station + " is already monitored by " + holder +
               "; this monitor ends without touching it.\n";
    }
    return "torven-monitor: cannot lock " + station + " (" + lock.problem() +
           "); without the lock another monitor could run there at the same time, so this "
           "monitor ends without touching it.\n";
}

}  // namespace torven
