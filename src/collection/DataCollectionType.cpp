#include "collection/DataCollectionType.h"

#include "devices/DeviceChannel.h"
#include "devices/PhysicalDevice.h"
#include "time/TimeStamp.h"

namespace torven {

bool DataCollectionType::bindChannel(PhysicalDevice& device, std::int32_t channelNumber) {
    boundChannel_ = device.channel(channelNumber);
    if (boundChannel_ == nullptr)
        return false;
    boundChannel_->setCollectionType(this);
    return true;
}

std::string DataCollectionType::dataFileName(const TimeStamp& now) {
    if (fileStartTag_.empty())
        startNewFile(now);
    if (fileNameFor(now) != currentFileName_) {
        startNewFile(now);
        currentFileName_ = fileNameFor(now);
    }
    return currentFileName_;
}

void DataCollectionType::startNewFile(const TimeStamp& now) {
    fileStartTag_ = now.hourText() + now.minuteText() + now.secondText();
    currentFileBytes_ = 0;
}

void DataCollectionType::continueFrom(const DataCollectionType& earlier) {
    currentFileName_ = earlier.currentFileName_;
    fileStartTag_ = earlier.fileStartTag_;
    currentFileBytes_ = earlier.currentFileBytes_;
    lastRowTime_ = earlier.lastRowTime_;
    rowsWritten_ = earlier.rowsWritten_;
    fileWriteErrors_ = earlier.fileWriteErrors_;
    status_ = earlier.status_;
    lossLogged_ = earlier.lossLogged_;
    lossReportsHeld_ = earlier.lossReportsHeld_;
}

std::string DataCollectionType::fileNameFor(const TimeStamp& now) const {
    return now.yearText() + now.monthText() + now.dayText() + "_" + fileStartTag_ + "_" + id() +
           ".csv";
}

}  // namespace torven
