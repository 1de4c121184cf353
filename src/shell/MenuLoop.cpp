#include "shell/MenuLoop.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "config/SiteConfiguration.h"
#include "console/StatusDisplay.h"
#include "devices/DeviceRegistry.h"
#include "platform/ProgramLock.h"
#include "shell/Program.h"

namespace torven {

namespace {

constexpr int escapeKey = 27;
constexpr int cycleMilliseconds = 250;
constexpr int leastSleepMilliseconds = 1;
// Past the second boundary, so that the pass's clock reading is surely in the new second.
constexpr std::int64_t afterSecondMilliseconds = 10;
constexpr std::int64_t millisecondsPerSecond = 1000;
constexpr int flashMilliseconds = 100;
constexpr int invalidChoiceMilliseconds = 500;
constexpr int dumpEverySeconds = 5;

enum class MenuResult { Stay, Quit };

class MenuLoop {
  public:
    MenuLoop(SiteConfiguration& site, DataLoggingMode startMode, ScanScreen::Probe probe)
        : site_(site), console_(site.console), requested_(startMode), probe_(std::move(probe)) {}

    void run() {
        step(requested_);
        showSiteTable(site_);
        while (cycle() == MenuResult::Stay) {
        }
    }

  private:
    // While the scan screen stands, the cycle goes on as ever (passes, rows, hand-over, dumps
    // of the screen as it stands, reloads); only the status display is not drawn over it, and
    // the keys are the scan screen's, so Q cannot end the loop before the probe has finished.
    MenuResult cycle() {
        const int key = console_.pollKey();
        if (scanScreen_) {
            if (scanScreen_->isOver(key, monotonicNow()))
                leaveScanScreen();
        } else if (key != 0 && handleKey(key) == MenuResult::Quit) {
            return MenuResult::Quit;
        }
        step(requested_);
        if (scanScreen_) {
            scanScreen_->showReportWhenReady(monotonicNow());
        } else {
            showChannelStatus(site_);
        }
        dumpAtFiveSecondMark();
        const ModeController& controller = site_.modeController;
        platform::ProgramLock::sleepReleased(
            cycleSleepMilliseconds(controller.lastPassMilliseconds(), controller.passClockNow()));
        if (reloadConfiguration(site_))
            redraw();
        return MenuResult::Stay;
    }

    // After a reload, which may have put the configuration error screen up meanwhile: the new
    // configuration's status display, or the scan screen again while it stands (leaving it
    // draws the status display anyway).
    void redraw() {
        if (scanScreen_) {
            scanScreen_->redraw();
        } else {
            showSiteTable(site_);
        }
    }

    MenuResult handleKey(int key) {
        if (!menuActive_) {
            // Outside the menu only Escape counts; it opens the menu line.
            if (key == escapeKey) {
                flashMenuLine();
                menuActive_ = true;
            }
            return MenuResult::Stay;
        }
        menuActive_ = false;
        return actOnMenuKey(key);
    }

    MenuResult actOnMenuKey(int key) {
        switch (key) {
            case escapeKey:
                flashTitle(console_, true);
                break;
            case 'D':
            case 'd':
                switchTo(DataLoggingMode::DATALOG, "Switching over to datalogging");
                break;
            case 'C':
            case 'c':
                switchTo(DataLoggingMode::CALIBRATE, "switching over to calibration mode");
                break;
            case 'S':
            case 's':
                scanForDevices();
                break;
            case 'Q':
            case 'q':
                step(DataLoggingMode::STOPPED);
                console_.clearScreen();
                return MenuResult::Quit;
            default:
                rejectChoice();
                break;
        }
        return MenuResult::Stay;
    }

    void flashMenuLine() {
        for (int flash = 0; flash < 2; ++flash) {
            console_.setInverseColours();
            showMenuLine(console_);
            platform::ProgramLock::sleepReleased(flashMilliseconds);
            console_.setNormalColours();
            showMenuLine(console_);
            platform::ProgramLock::sleepReleased(flashMilliseconds);
        }
    }

    void switchTo(DataLoggingMode mode, const char* notice) {
        flashTitle(console_, false);
        if (requested_ == mode)
            return;
        requested_ = mode;
        console_.clearScreen();
        console_.print(notice);
        step(requested_);
        showSiteTable(site_);
    }

    void scanForDevices() {
        console_.clearScreen();
        scanScreen_.emplace(console_, probe_);
    }

    void leaveScanScreen() {
        scanScreen_.reset();
        step(requested_);
        showSiteTable(site_);
    }

    std::int64_t monotonicNow() const { return site_.modeController.monotonicMilliseconds(); }

    void rejectChoice() {
        console_.setAlertColours();
        console_.moveCursor(0, 0);
        console_.printf("%-80s", "Not a valid menu choice");
        platform::ProgramLock::sleepReleased(invalidChoiceMilliseconds);
        console_.setNormalColours();
        flashTitle(console_, true);
    }

    // Writes the screen into the dump file once for every five-second mark of the clock.
    void dumpAtFiveSecondMark() {
        if (site_.modeController.clock.secondsIntoHour() % dumpEverySeconds != 0) {
            dumpDone_ = false;
            return;
        }
        if (dumpDone_)
            return;
        console_.dumpConsole();
        dumpDone_ = true;
    }

    void step(DataLoggingMode mode) { site_.modeController.step(site_, mode); }

    SiteConfiguration& site_;
    Console& console_;
    DataLoggingMode requested_;
    ScanScreen::Probe probe_;
    bool menuActive_ = false;
    bool dumpDone_ = false;
    // Present while the port-scan screen stands.
    std::optional<ScanScreen> scanScreen_;
};

}  // namespace

int cycleSleepMilliseconds(std::int64_t lastPassMilliseconds, std::int64_t nowMilliseconds) {
    const std::int64_t nextSecond =
        (lastPassMilliseconds / millisecondsPerSecond + 1) * millisecondsPerSecond;
    const std::int64_t untilNextSecond = nextSecond + afterSecondMilliseconds - nowMilliseconds;
    return static_cast<int>(
        std::clamp<std::int64_t>(untilNextSecond, leastSleepMilliseconds, cycleMilliseconds));
}

void runMenuLoop(SiteConfiguration& site, DataLoggingMode startMode) {
    runMenuLoop(site, startMode, DeviceRegistry::scanAllDeviceTypes);
}

void runMenuLoop(SiteConfiguration& site, DataLoggingMode startMode, ScanScreen::Probe probe) {
    MenuLoop(site, startMode, std::move(probe)).run();
}

}  // namespace torven
