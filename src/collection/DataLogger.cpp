#include "collection/DataLogger.h"

#include <optional>

#include "collection/DataCollectionTypeFactory.h"
#include "config/SiteConfiguration.h"
#include "eventlog/EventLog.h"
#include "platform/FileSystem.h"
#include "platform/TextFile.h"

namespace torven {

namespace {

using platform::TextFile;

// The first failure is reported once, also for a stream that has not written yet (a new one
// after a configuration load); a stream already in error keeps retrying silently at every
// due row.
void reportFileError(DataCollectionType& stream, std::string message) {
    stream.countFileWriteError();
    if (stream.status() == CollectionStatus::FileWriteError)
        return;
    stream.setStatus(CollectionStatus::FileWriteError);
    logEvent(LogLevel::WARN, std::move(message));
}

// Logged the first time the writer meets the stream without a value after it last had one;
// the device poll has usually marked the stream ComLinkOff before the writer runs. A stream
// still OffLine has not been linked to its device yet (a configuration load has just built
// both), so it has nothing to lose.
void noteLostConnection(DataCollectionType& stream) {
    if (stream.status() == CollectionStatus::OffLine)
        return;
    if (stream.status() == CollectionStatus::OnLine) {
        stream.setStatus(CollectionStatus::ComLinkOff);
    }
    if (stream.lossLogged())
        return;
    stream.setLossLogged(true);
    logEvent(LogLevel::INFO, "Data collection: Lost connection for " + stream.buildId());
}

// A row is due when the second into the hour is a multiple of the interval and the clock has
// passed the stream's last row: after the clock was set back, the seconds already recorded
// are not recorded again.
bool rowDue(const DataCollectionType& stream, const TimeStamp& now) {
    const std::int32_t interval = stream.sampleInterval();
    if (interval < 1 || now.secondsIntoHour() % interval != 0)
        return false;
    const std::optional<std::int64_t> lastRow = stream.lastRowTime();
    return !lastRow || now.seconds() > *lastRow;
}

// The name of the file the next row goes into. A file that no longer holds what the stream
// wrote into it (moved away by a hand-over or another program, deleted, changed) is never
// written again: a new file is begun, so that no name ever stands for two contents and a
// complete copy elsewhere is never replaced by a shorter one.
std::string fileForNextRow(DataCollectionType& stream, const SiteConfiguration& site) {
    const TimeStamp& now = site.modeController.clock;
    const std::string name = stream.dataFileName(now);
    const std::uint64_t written = stream.currentFileBytes();
    if (written == 0 || platform::fileSize(site.tmpDirectory + name) == written)
        return name;
    stream.startNewFile(now);
    return stream.dataFileName(now);
}

// Cuts a data file back to the size it had before a row that did not reach it whole,
// through the open file or, after a failed close, through the file opened again. A file
// that was empty before goes away, so that no file is left with a header and no row.
bool cutBack(TextFile& file, const std::string& path, std::uint64_t size) {
    if (size == 0) {
        file.close();
        return platform::removeFile(path);
    }
    if (!file.isOpen()) {
        std::optional<TextFile> reopened = TextFile::openForAppend(path);
        if (!reopened)
            return false;
        file = std::move(*reopened);
    }
    const bool cut = file.truncate(size);
    return file.close() && cut;
}

// Appends one row (after the header when the file is empty) to the stream's file in the tmp
// directory and brings the Data copy up to date. A row is written whole or not at all: on
// any failure the file is cut back to what it held before, and the next due row tries again.
void writeRow(DataCollectionType& stream, const SiteConfiguration& site) {
    const TimeStamp& now = site.modeController.clock;
    std::string name = fileForNextRow(stream, site);
    std::optional<TextFile> file = TextFile::openForAppend(site.tmpDirectory + name);
    if (!file) {
        stream.startNewFile(now);
        name = stream.dataFileName(now);
        file = TextFile::openForAppend(site.tmpDirectory + name);
    }
    if (!file) {
        reportFileError(stream, "Can't open file:" + name + " Creating new file");
        return;
    }
    const std::string path = site.tmpDirectory + name;
    const std::uint64_t sizeBefore = file->size();
    std::string text = sizeBefore == 0 ? stream.headerText(site) : std::string();
    text += now.dateTimeText() + ", " + stream.sampleText() + "\n";
    const bool written = file->write(text);
    const std::uint64_t sizeAfter = file->size();
    if (!written || !file->close()) {
        // A file that keeps part of a row is left behind; the next row starts a new one.
        if (!cutBack(*file, path, sizeBefore))
            stream.startNewFile(now);
        reportFileError(stream, "Can't write file:" + name);
        return;
    }
    stream.setStatus(CollectionStatus::Logging);
    stream.countRowWritten();
    stream.setLastRowTime(now.seconds());
    stream.setCurrentFileBytes(sizeAfter);
    platform::extendCopy(path, site.dataDirectory + name, sizeBefore);
}

}  // namespace

DataCollectionType* DataLogger::createType(const std::string& typeName) {
    return addType(createDataCollectionType(typeName));
}

DataCollectionType* DataLogger::addType(std::unique_ptr<DataCollectionType> type) {
    if (!type)
        return nullptr;
    types_.push_back(std::move(type));
    return types_.back().get();
}

DataCollectionType* DataLogger::typeAt(int index) const {
    if (index < 0 || index >= count())
        return nullptr;
    return types_[static_cast<std::size_t>(index)].get();
}

void DataLogger::resetStatuses() {
    for (const auto& type : types_)
        type->setStatus(CollectionStatus::OnLine);
}

void DataLogger::clear() {
    for (const auto& type : types_) {
        if (const std::optional<std::int64_t> lastRow = type->lastRowTime())
            lastRowTimes_[type->id()] = *lastRow;
    }
    types_.clear();
}

std::vector<std::string> DataLogger::headerTexts(const SiteConfiguration& site) const {
    std::vector<std::string> headers;
    headers.reserve(types_.size());
    for (const auto& type : types_)
        headers.push_back(type->headerText(site));
    return headers;
}

void DataLogger::takeOver(DataLogger& built, const std::vector<std::string>& ownHeaders,
                          const std::vector<std::string>& builtHeaders) {
    for (std::size_t index = 0; index < built.types_.size() && index < builtHeaders.size();
         ++index) {
        DataCollectionType& stream = *built.types_[index];
        if (const DataCollectionType* earlier =
                sameStream(stream, builtHeaders[index], ownHeaders)) {
            stream.continueFrom(*earlier);
        }
    }
    clear();
    types_ = std::move(built.types_);
    built.types_.clear();
}

// Its own stream that the built one continues, or none. A file's header describes the rows
// below it, so a stream whose header would change begins a new file as a new stream.
const DataCollectionType* DataLogger::sameStream(const DataCollectionType& built,
                                                 const std::string& builtHeader,
                                                 const std::vector<std::string>& ownHeaders) const {
    if (built.boundChannel() == nullptr)
        return nullptr;
    for (std::size_t index = 0; index < types_.size() && index < ownHeaders.size(); ++index) {
        const DataCollectionType& own = *types_[index];
        if (own.boundChannel() == built.boundChannel() && own.id() == built.id() &&
            own.typeName() == built.typeName()) {
            return ownHeaders[index] == builtHeader ? &own : nullptr;
        }
    }
    return nullptr;
}

// A stream built anew by a configuration load goes on from the last row of the stream with
// its ID, so that a load never lets a second be recorded twice.
void DataLogger::carryOverLastRow(DataCollectionType& stream) const {
    const auto known = lastRowTimes_.find(stream.id());
    if (known != lastRowTimes_.end())
        stream.setLastRowTime(known->second);
}

bool DataLogger::writeTick(const SiteConfiguration& site) {
    for (const auto& type : types_)
        writeStream(*type, site);
    return true;
}

void DataLogger::writeStream(DataCollectionType& stream, const SiteConfiguration& site) {
    if (!stream.isOnline()) {
        noteLostConnection(stream);
        return;
    }
    if (!stream.lossReportsHeld())
        stream.setLossLogged(false);
    if (!stream.lastRowTime())
        carryOverLastRow(stream);
    if (!rowDue(stream, site.modeController.clock)) {
        if (stream.status() == CollectionStatus::Logging) {
            stream.setStatus(CollectionStatus::OnLine);
        }
        return;
    }
    writeRow(stream, site);
}

}  // namespace torven
