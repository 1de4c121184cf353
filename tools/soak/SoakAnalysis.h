#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "soak/FakedTimeline.h"

namespace torven::soak {

// Seconds since the epoch of a UTC date-time text "YYYY-MM-DD hh:mm:ss"; none when the text
// is not exactly of that form or names no real instant.
std::optional<std::int64_t> parseDateTime(std::string_view text);
std::string formatDateTime(std::int64_t epochSeconds);

// A stream owes a row at every second whose second into the UTC hour is a multiple of its
// sample interval; an interval below 1 owes none.
bool rowDue(std::int64_t epochSecond, int sampleInterval);

struct Row {
    std::int64_t time = 0;
    std::string value;
};

// What one data file holds: its rows, how many header lines came first, and every line that
// is neither (a header line after a row, a row that is cut short or badly formed, a line
// without its CR LF end).
struct DataFileContent {
    std::vector<Row> rows;
    int headerLines = 0;
    int malformedLines = 0;
};
DataFileContent parseDataFile(std::string_view content);

// The parts of a data file name YYYYMMDD_HHMMSS_<stream ID>.csv; none for any other name.
struct DataFileName {
    std::string date;
    std::string startTag;
    std::string streamId;
};
std::optional<DataFileName> parseDataFileName(std::string_view name);

// One copy of a data file as the run finds it after the stop.
struct FileCopy {
    std::string name;
    std::string content;
    bool live = true;  // in tmp, Data or ToSend; false in a folder the run took away
};

// The longest copy of every file name, whose rows count once. A live copy shorter than the
// longest means the file was replaced by a shorter one: rows the station held are gone there.
struct ChosenCopies {
    std::map<std::string, std::string> contents;
    std::set<std::string> replacedByShorter;
};
ChosenCopies chooseCopies(const std::vector<FileCopy>& copies);

struct StreamFile {
    DataFileName name;
    DataFileContent content;
};

// A run of consecutive due rows that are missing.
struct Gap {
    std::int64_t start = 0;  // the first missing row's time
    int rows = 0;
    std::int64_t seconds = 0;  // from the first missing row to the next due row after the run
};

struct StreamFigures {
    int due = 0;      // rows due inside the window
    int written = 0;  // of those, the ones present
    std::vector<Gap> gaps;
    // Faults of the rows themselves, counted over the whole stream, not only the window.
    int duplicates = 0;   // a second that has more than one row
    int offSchedule = 0;  // a row at a second that owes none
    int wrongValues = 0;  // a row whose value differs from what the device sent
    int malformedLines = 0;
    // A row not later than the row before it in its file, or at or before the last row of a
    // file of the stream that began earlier.
    int outOfOrder = 0;
    int otherDay = 0;       // a row whose UTC date is not the date in its file's name
    int shorterCopies = 0;  // file names of which a copy was replaced by a shorter one

    int missing() const { return due - written; }
    double completeness() const;
    std::optional<Gap> longestGap() const;
    bool rowsSound() const;
};

// The figures of one stream from all its files. Rows are due at the countedSeconds (in order)
// that the sample interval names; expectedValue, when given, is the value text every row must
// carry. shorterCopies is left to the caller.
StreamFigures analyseStream(const std::vector<StreamFile>& files, int sampleInterval,
                            const std::vector<std::int64_t>& countedSeconds,
                            const std::optional<std::string>& expectedValue);

// Times are seconds since the epoch with fractions, as the run measures them.
// A stretch of real time [from, to) in which rows are not owed: the monitor in calibration, a
// clock step, a device made silent and its way back.
struct RealSpan {
    double from = 0.0;
    double to = 0.0;
};
// The seconds (in their order) of which no part of the real second they began lies in any of
// the spans.
std::vector<std::int64_t> secondsOutside(const std::vector<LivedSecond>& lived,
                                         const std::vector<RealSpan>& spans);
// The longest time between successive growths of a file within [from, to] outside the spans:
// the file is measured only over each stretch between them, so that a growth before a span
// and one after it make no interval.
std::optional<double> worstIntervalOutside(const std::vector<double>& growths, double from,
                                           double to, std::vector<RealSpan> spans);
// The longest time between successive growths of a file that both fall inside [from, to];
// none when fewer than two do.
std::optional<double> worstInterval(const std::vector<double>& growths, double from, double to);
// The first growth at or after `from` and before `until`; none when there is none.
std::optional<double> firstGrowthAfter(const std::vector<double>& growths, double from,
                                       double until);

// One line of the event log, "YYYY-MM-DD hh:mm:ss, LEVEL, \"message\"" (line end removed).
struct EventLogEntry {
    std::int64_t time = 0;
    std::string level;
    std::string message;
};
std::optional<EventLogEntry> parseEventLogLine(std::string_view line);
// The port of a " has returned online" message ("DI-194RS on port COM5 has returned online"
// gives COM5); none for any other message.
std::optional<std::string> returnedOnlinePort(std::string_view message);

}  // namespace torven::soak
