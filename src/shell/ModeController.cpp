#include "shell/ModeController.h"

#include <cstdlib>

#include "collection/FileHandOver.h"
#include "eventlog/EventLog.h"
#include "platform/SystemClock.h"
#include "platform/TextFormat.h"

namespace torven {

namespace {

constexpr std::int64_t millisecondsPerSecond = 1000;
// Room left between the end of reconnecting and the end of the next second, for the status
// display, the dump and the configuration check before the next pass reads the clock.
constexpr std::int64_t passMarginMilliseconds = 150;

// Reconnecting after a pass whose clock reading fell in second L must end within second L+1,
// so that the next pass reads the clock in L+1 and no second goes without a pass. The time
// left for it, from the pass on.
std::int64_t reconnectionBudget(std::int64_t passMilliseconds) {
    const std::int64_t passSecond = passMilliseconds / millisecondsPerSecond;
    return (passSecond + 2) * millisecondsPerSecond - passMarginMilliseconds - passMilliseconds;
}

// Passes come four times a second, so the system clock and the monotonic clock drift apart
// by far less than this between two of them unless someone set the clock.
constexpr std::int64_t leastClockStepMilliseconds = 1000;

std::string clockStepText(std::int64_t stepMilliseconds) {
    const double seconds = static_cast<double>(std::abs(stepMilliseconds)) / millisecondsPerSecond;
    return formatText("System clock stepped %s by %.1f s",
                      stepMilliseconds < 0 ? "back" : "forward", seconds);
}

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

std::int64_t ModeController::nowMilliseconds() const {
    return millisecondSource_ ? millisecondSource_() : platform::currentEpochMilliseconds();
}

// Lost devices are reconnected last, after the row of this second is written, and only as
// far as time allows, so that a device that does not answer cannot make a second go by
// without a pass. A device that comes back is read from the next pass on.
void ModeController::dataCollectionPass(SiteConfiguration& site) {
    readDevices();
    // The writer runs at most once per second however fast the passes come.
    if (clock.seconds() != lastLoggedSecond_) {
        lastLoggedSecond_ = clock.seconds();
        dataLogger.writeTick(site);
        if (clock.secondsIntoHour() % 15 == 0)
            handOverFiles(site, true);
    }
    reconnectLostDevices();
}

void ModeController::calibrationPass() {
    readDevices();
    reconnectLostDevices();
}

std::int64_t ModeController::monotonicMilliseconds() const {
    if (monotonicSource_)
        return monotonicSource_();
    // A test's own clock is never set back or forward behind the controller's back.
    return millisecondSource_ ? millisecondSource_() : platform::monotonicMilliseconds();
}

std::int64_t ModeController::passClockNow() const {
    return lastPassMilliseconds_ + (monotonicMilliseconds() - lastPassMonotonic_);
}

void ModeController::readDevices() {
    lastPassMilliseconds_ = nowMilliseconds();
    lastPassMonotonic_ = monotonicMilliseconds();
    noteClockStep();
    clock.setTo(timeSource_ ? timeSource_() : lastPassMilliseconds_ / millisecondsPerSecond);
    devices.readAll();
}

// Someone set the system clock (a time service correcting it, an operator) when it moved
// against the monotonic clock since the last pass; logged once per step with its size.
void ModeController::noteClockStep() {
    const std::int64_t offset = lastPassMilliseconds_ - lastPassMonotonic_;
    const std::optional<std::int64_t> previous = std::exchange(clockOffset_, offset);
    if (previous && std::abs(offset - *previous) >= leastClockStepMilliseconds)
        logEvent(LogLevel::WARN, clockStepText(offset - *previous));
}

void ModeController::reconnectLostDevices() {
    devices.reconnectAll(lastPassMonotonic_ + reconnectionBudget(lastPassMilliseconds_),
                         [this] { return monotonicMilliseconds(); });
}

void ModeController::handOverAll(SiteConfiguration& site) {
    handOverFiles(site, false);
}

}  // namespace torven
