#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "remote/DayBins.h"
#include "remote/StatusSnapshot.h"

namespace torven {

// The rows of the current UTC day of one stream, read from its data files a piece at a time:
// each update reads only the bytes added since the last one. Files are opened, read and closed
// within an update, never kept open, so that they can always be moved.
class TodayRows {
  public:
    // Brings the rows up to date. On a new UTC day (of now) or another stream ID it starts
    // afresh from the stream's files of that day in tmpDirectory and dataDirectory
    // ("YYYYMMDD_hhmmss_<ID>.csv"; a file in both is read once, from tmpDirectory). Then it
    // reads what was added to the stream's current file, after finishing the file it followed
    // before when that changed. Only complete lines count; rows of other days and lines that
    // are no rows are passed over. Directories are texts like "..\tmp\".
    void update(const std::string& tmpDirectory, const std::string& dataDirectory,
                const StreamSnapshot& stream, std::int64_t nowEpochSeconds);

    const DayBins& bins() const { return bins_; }

  private:
    enum class ReadResult { Read, Missing, Shorter };

    void startDay(std::int64_t day, const std::string& streamId);
    void readFilesOfTheDay();
    // False when a file turned out shorter than what was read of it before.
    bool followCurrentFile(const std::string& name);
    ReadResult readAddedLines(const std::string& name);
    void addLine(std::string_view line);

    std::string tmpDirectory_;
    std::string dataDirectory_;
    std::string streamId_;
    std::string currentFile_;
    bool started_ = false;
    // Bytes of complete lines read so far, by file name.
    std::map<std::string, std::uint64_t> offsets_;
    DayBins bins_;
};

}  // namespace torven
