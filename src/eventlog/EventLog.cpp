#include "eventlog/EventLog.h"

#include <cstddef>
#include <utility>

#include "config/SiteConfiguration.h"
#include "console/Console.h"
#include "platform/FileSystem.h"
#include "platform/SignalWatcher.h"
#include "platform/TextFile.h"

namespace torven {

namespace {

constexpr int fatalExitStatus = -1;

std::string fatalBanner(const std::string& time, const std::string& message) {
    return "\n\n**************************************\n"
           "* FATAL ERROR CAUSED SYSTEM SHUTDOWN *\n"
           "**************************************\n"
           "Time:     " +
           time + "\nMessage : " + message + "\n\n\n Press a Key to exit the application";
}

}  // namespace

EventLog::EventLog(std::string directory, Console& console)
    : directory_(std::move(directory)),
      console_(console),
      fatalExit_([] { platform::exitProcess(fatalExitStatus); }) {}

void EventLog::logEvent(LogLevel level, std::string message) {
    TimeStamp now;
    now.setToNow(0);
    const std::string name = levelName(level);
    ++entryCounts_[static_cast<std::size_t>(level)];
    lastEventText_ = name + ": " + message;
    lastEventTime_ = now.dateTimeText();

    // Joined rather than formatted, so that the message reaches the file byte for byte.
    const std::string line = lastEventTime_ + ", " + name + ", \"" + message + "\"\n";
    if (!platform::appendText(platform::hostPath(eventLogFileName(now)), line)) {
        console_.print(line);
    }
    if (level != LogLevel::FATAL)
        return;
    console_.print(fatalBanner(lastEventTime_, message));
    console_.waitForAnyKey();
    fatalExit_();
}

std::string EventLog::eventLogFileName(const TimeStamp& when) const {
    return directory_ + when.yearText() + "_" + when.monthText() + "_EventLOG.txt";
}

EventLog& programEventLog() {
    static EventLog log(programSite().eventLogDirectory, programSite().console);
    return log;
}

void logEvent(LogLevel level, std::string message) {
    programEventLog().logEvent(level, std::move(message));
}

}  // namespace torven
