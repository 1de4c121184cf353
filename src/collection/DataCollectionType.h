#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "collection/CollectionStatus.h"
#include "config/MetaDataList.h"

namespace torven {

class DeviceChannel;
class PhysicalDevice;
class SiteConfiguration;
class TimeStamp;

// One data stream: a configured channel of a device recorded into daily data files. The
// concrete type decides its metadata keywords, its ID, its sample interval, its file header
// and the text of each sample; this base carries the bound channel, the current data file,
// the status and the metadata.
class DataCollectionType {
  public:
    DataCollectionType() = default;
    DataCollectionType(const DataCollectionType&) = delete;
    DataCollectionType& operator=(const DataCollectionType&) = delete;
    virtual ~DataCollectionType() = default;

    // The current sample of the bound channel as it goes into a data row.
    virtual std::string sampleText() const = 0;
    // The bound channel holds a valid value.
    virtual bool isOnline() const = 0;
    // Forms the stream ID from the metadata and stores it; on failure returns an error text
    // and keeps the stored ID.
    virtual std::string buildId() = 0;
    virtual std::string id() const { return streamId_; }
    // The complete header of a new data file.
    virtual std::string headerText(const SiteConfiguration& site) const = 0;
    virtual std::string typeName() const = 0;
    // Takes the sample interval from the metadata.
    virtual void readSampleRate() = 0;
    // Sets the metadata list up from the type's keyword table.
    virtual void registerKeywords() = 0;

    // Binds to channel n of the device (also remembering a failed bind as no channel); true
    // when the device has that channel, which then links back to this stream.
    bool bindChannel(PhysicalDevice& device, std::int32_t channelNumber);
    std::string statusText() const { return statusWord(status_); }

    // The name of the data file a row at `now` goes into; starts a new file on the first row,
    // on a new UTC date and when the ID changed.
    std::string dataFileName(const TimeStamp& now);
    // The current file's start tag becomes HHMMSS of `now`; the next row begins a new file.
    void startNewFile(const TimeStamp& now);
    std::string startTag() const { return fileStartTag_; }
    const std::string& currentFileName() const { return currentFileName_; }
    // The bytes this stream has put into its current file; 0 for a file still to be begun.
    std::uint64_t currentFileBytes() const { return currentFileBytes_; }
    void setCurrentFileBytes(std::uint64_t bytes) { currentFileBytes_ = bytes; }
    // The time of the last row written (seconds since the epoch); none before the first.
    std::optional<std::int64_t> lastRowTime() const { return lastRowTime_; }
    void setLastRowTime(std::int64_t epochSeconds) { lastRowTime_ = epochSeconds; }

    // Rows written whole, and rows that could not be written, since the stream was built
    // (a reload that keeps the stream keeps its counts too).
    std::uint64_t rowsWritten() const { return rowsWritten_; }
    void countRowWritten() { ++rowsWritten_; }
    std::uint64_t fileWriteErrors() const { return fileWriteErrors_; }
    void countFileWriteError() { ++fileWriteErrors_; }

    CollectionStatus status() const { return status_; }
    void setStatus(CollectionStatus status) { status_ = status; }
    std::int32_t sampleInterval() const { return sampleInterval_; }
    MetaDataList& metaData() { return metaData_; }
    const MetaDataList& metaData() const { return metaData_; }
    const DeviceChannel* boundChannel() const { return boundChannel_; }

    // Whether a lost connection of this stream has been logged since it last had a value.
    bool lossLogged() const { return lossLogged_; }
    void setLossLogged(bool logged) { lossLogged_ = logged; }
    // While its device keeps dropping out, losses are summed up in the device's warning
    // instead of a line each: a value does not make the next loss worth logging.
    bool lossReportsHeld() const { return lossReportsHeld_; }
    void setLossReportsHeld(bool held) { lossReportsHeld_ = held; }

    // Goes on where `earlier` (the same stream of the configuration before a reload) stands:
    // its data file, the time of its last row, its counts, its status and what it has logged of
    // a loss.
    void continueFrom(const DataCollectionType& earlier);

  protected:
    void setSampleInterval(std::int32_t interval) { sampleInterval_ = interval; }
    void setStreamId(std::string id) { streamId_ = std::move(id); }

  private:
    std::string fileNameFor(const TimeStamp& now) const;

    std::string currentFileName_;
    std::int32_t sampleInterval_ = 0;
    DeviceChannel* boundChannel_ = nullptr;
    std::string fileStartTag_;
    std::string streamId_;
    std::uint64_t currentFileBytes_ = 0;
    std::optional<std::int64_t> lastRowTime_;
    std::uint64_t rowsWritten_ = 0;
    std::uint64_t fileWriteErrors_ = 0;
    CollectionStatus status_ = CollectionStatus::OffLine;
    MetaDataList metaData_;
    bool lossLogged_ = false;
    bool lossReportsHeld_ = false;
};

}  // namespace torven
