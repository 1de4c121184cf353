#include "shell/MenuLoop.h"

#include <algorithm>

#include "config/SiteConfiguration.h"
#include "console/StatusDisplay.h"
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
    MenuLoop(SiteConfiguration& site, DataLoggingMode startMode)
        : site_(site), console_(site.console), requested_(startMode) {}

    void run() {
        step(requested_);
        showSiteTable(site_);
        while (cycle() == MenuResult::Stay) {
        }
    }

  private:
    MenuResult cycle() {
        if (const int key = console_.pollKey(); key != 0) {
            if (handleKey(key) == MenuResult::Quit)
                return MenuResult::Quit;
        }
        step(requested_);
        showChannelStatus(site_);
        dumpAtFiveSecondMark();
        const ModeController& controller = site_.modeController;
        platform::ProgramLock::sleepReleased(
            cycleSleepMilliseconds(controller.lastPassMilliseconds(), controller.passClockNow()));
        if (reloadConfiguration(site_))
            showSiteTable(site_);
        return MenuResult::Stay;
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
        showDeviceScan(site_);
        console_.waitForKey();
        step(requested_);
        showSiteTable(site_);
    }

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
    bool menuActive_ = false;
    bool dumpDone_ = false;
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
    MenuLoop(site, startMode).run();
}

}  // namespace torven
