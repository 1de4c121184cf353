#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "eventlog/LogLevel.h"
#include "time/TimeStamp.h"

namespace torven {

class Console;

// The record of what happened: one line per entry, appended to a text file per UTC month in
// the event log directory, "YYYY-MM-DD hh:mm:ss, LEVEL, "message"". The latest entry is kept
// for the configuration error box. A FATAL entry shows a banner on the console, waits for a
// key and ends the program with status -1.
class EventLog {
  public:
    // directory is a directory text such as "..\EventLog\"; console receives the lines that
    // cannot reach the file, and the FATAL banner.
    EventLog(std::string directory, Console& console);

    void logEvent(LogLevel level, std::string message);

    // The event log file of the month of `when`: directory + "YYYY_MM_EventLOG.txt".
    std::string eventLogFileName(const TimeStamp& when) const;

    const std::string& lastEventTime() const { return lastEventTime_; }
    const std::string& lastEventText() const { return lastEventText_; }
    // The entries logged at each level since the log was made, indexed by the level's code.
    const std::array<std::uint64_t, 5>& entryCounts() const { return entryCounts_; }

    // What a FATAL entry does after its banner and key (tests replace the process exit).
    void setFatalExit(std::function<void()> fatalExit) { fatalExit_ = std::move(fatalExit); }

  private:
    std::string directory_;
    Console& console_;
    std::string lastEventTime_;
    std::string lastEventText_;
    std::array<std::uint64_t, 5> entryCounts_{};
    std::function<void()> fatalExit_;
};

// The program's event log, writing into the program-wide site's event log directory.
EventLog& programEventLog();

// Appends one entry to the program's event log.
void logEvent(LogLevel level, std::string message);

}  // namespace torven
