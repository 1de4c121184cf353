#include "shell/ScanScreen.h"

#include <chrono>
#include <utility>

#include "console/Console.h"
#include "console/StatusDisplay.h"

namespace torven {

// Both launch policies: the probe gets a thread of its own, and should none be available the
// future defers the probe until it is asked for, so that it runs on the main loop's thread as
// it would without threads, instead of the loop failing.
ScanScreen::ScanScreen(Console& console, Probe probe)
    : console_(console),
      pending_(std::async(std::launch::async | std::launch::deferred, std::move(probe))) {
    showDeviceScanHeading(console_);
}

bool ScanScreen::isOver(int key, std::int64_t nowMilliseconds) const {
    if (!report_)
        return false;
    return key != 0 || nowMilliseconds - reportShownAt_ >= resultStandsMilliseconds;
}

void ScanScreen::showReportWhenReady(std::int64_t nowMilliseconds) {
    if (report_ || !probeDone())
        return;
    report_ = pending_.get();
    reportShownAt_ = nowMilliseconds;
    showReport();
}

void ScanScreen::redraw() {
    console_.clearScreen();
    showDeviceScanHeading(console_);
    if (report_)
        showReport();
}

// Ready, or deferred for want of a thread (then get() runs the probe here and now).
bool ScanScreen::probeDone() {
    const std::future_status status = pending_.wait_for(std::chrono::seconds(0));
    return status != std::future_status::timeout;
}

void ScanScreen::showReport() {
    showDeviceScanReport(console_, *report_);
    console_.promptForKey();
}

}  // namespace torven
