#include "shell/ModeController.h"

#include "collection/FileHandOver.h"
#include "eventlog/EventLog.h"

namespace torven {

namespace {

bool isRequestable(DataLoggingMode mode) {
    return mode == DataLoggingMode::DATALOG || mode == DataLoggingMode::CALIBRATE ||
           mode == DataLoggingMode::STOPPED;
}

}  // namespace

void ModeController::step(SiteConfiguration& site, DataLoggingMode requested) {
    if (requested != mode_) {
        // An impossible request is refused before the current mode is left, so the devices
        // and streams stay as the current mode expects them.
        if (!isRequestable(requested)) {
            logEvent(LogLevel::ERROR, "Internal error: Invalid DataLogging Mode ");
            return;
        }
        leave();
        enter(site, requested);
    }
    pass(site);
}

void ModeController::leave() {
    if (mode_ == DataLoggingMode::DATALOG)
        exitDataCollection();
    if (mode_ == DataLoggingMode::CALIBRATE)
        exitCalibration();
}

void ModeController::enter(SiteConfiguration& site, DataLoggingMode requested) {
    if (requested == DataLoggingMode::STOPPED) {
        handOverAll(site);
        logEvent(LogLevel::INFO, "System shutting down");
    } else {
        logEvent(LogLevel::INFO, requested == DataLoggingMode::DATALOG
                                     ? "Entering Data Collection Mode"
                                     : "Entering Calibration Mode");
        dataLogger.resetStatuses();
        devices.connectAll();
    }
    mode_ = requested;
}

void ModeController::exitDataCollection() {
    logEvent(LogLevel::INFO, "Exiting Data Collection Mode");
    devices.disconnectAll();
    // No stream carries LOGGING or COM LINK OFF over into the next mode.
    dataLogger.resetStatuses();
}

void ModeController::exitCalibration() {
    logEvent(LogLevel::INFO, "Exiting Calibration Mode");
    devices.disconnectAll();
}

void ModeController::pass(SiteConfiguration& site) {
    switch (mode_) {
        case DataLoggingMode::DATALOG:
            dataCollectionPass(site);
            break;
        case DataLoggingMode::CALIBRATE:
            calibrationPass();
            break;
        case DataLoggingMode::STOPPED:
            handOverAll(site);
            break;
        case DataLoggingMode::Initialize:
            break;
    }
}

void ModeController::dataCollectionPass(SiteConfiguration& site) {
    readDevices();
    const std::int32_t second = clock.secondsIntoHour();
    // The writer runs at most once per second however fast the passes come.
    if (second == lastLoggedSecond_)
        return;
    lastLoggedSecond_ = second;
    dataLogger.writeTick(site);
    if (second % 15 == 0)
        handOverFiles(site, true);
}

void ModeController::calibrationPass() {
    readDevices();
}

void ModeController::readDevices() {
    devices.reconnectAll();
    if (timeSource_) {
        clock.setTo(timeSource_());
    } else {
        clock.setToNow(0);
    }
    devices.readAll();
}

void ModeController::handOverAll(SiteConfiguration& site) {
    handOverFiles(site, false);
}

}  // namespace torven
