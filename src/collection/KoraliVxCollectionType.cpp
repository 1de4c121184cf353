#include "collection/KoraliVxCollectionType.h"

#include <array>

#include "collection/DataCollectionTypeFactory.h"
#include "config/DecimalValue.h"
#include "config/SiteConfiguration.h"
#include "devices/AnalogChannel.h"
#include "platform/TextFormat.h"
#include "time/LocalTimeZone.h"

namespace torven {

namespace {

// The order of this table is the order of the entries in every file header.
constexpr std::array<MetaDataKeyword, 10> koraliVxKeywords{{
    {"StationID", "", true},
    {"Frequency", "", true},
    {"MonitorID", "", true},
    {"SampleRate", "", true},
    {"Range", "", false},
    {"DateInstalled", "", false},
    {"Contact", "", false},
    {"Problems", "", false},
    {"Comments", "", false},
    {"Observer", "", false},
}};

constexpr std::size_t monitorIdLength = 6;

// The bound channel when it is an analog channel holding a valid value; this type records
// nothing else.
const AnalogChannel* validAnalogChannel(const DeviceChannel* channel) {
    const auto* analog = dynamic_cast<const AnalogChannel*>(channel);
    return analog != nullptr && analog->valid() ? analog : nullptr;
}

}  // namespace

std::string KoraliVxCollectionType::sampleText() const {
    const AnalogChannel* channel = validAnalogChannel(boundChannel());
    if (channel == nullptr)
        return "--N/A-";
    return formatText("%+6.3f", channel->value());
}

bool KoraliVxCollectionType::isOnline() const {
    return validAnalogChannel(boundChannel()) != nullptr;
}

std::string KoraliVxCollectionType::buildId() {
    std::string stationId;
    std::string monitorId;
    if (metaData().getValue("StationID", stationId) &&
        metaData().getValue("MonitorID", monitorId)) {
        std::string id = stationId + "_" + monitorId.substr(0, monitorIdLength);
        setStreamId(id);
        return id;
    }
    return "Bad KORALI_VX NAME:" + stationId + "&" + monitorId;
}

std::string KoraliVxCollectionType::headerText(const SiteConfiguration& site) const {
    std::string header = site.siteMetaDataText("# ", "\n");
    header += "\n#\n";
    header += formatMetaDataLine("UTC_Offset", utcOffsetText());
    header += formatMetaDataLine("TimeZone", timeZoneName());
    header += "#\n";
    header += formatMetaDataLine("UTC_StartTime", site.modeController.clock.dateTimeText());
    header += metaData().toText("# ", "\n");
    header += "\n";
    return header;
}

std::string KoraliVxCollectionType::typeName() const {
    return dataCollectionTypeName;
}

void KoraliVxCollectionType::readSampleRate() {
    std::string rate;
    setSampleInterval(metaData().getValue("SampleRate", rate) ? decimalValue(rate) : 0);
}

void KoraliVxCollectionType::registerKeywords() {
    metaData().registerKeywords(koraliVxKeywords);
}

}  // namespace torven
