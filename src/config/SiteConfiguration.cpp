#include "config/SiteConfiguration.h"

#include <new>
#include <optional>

#include "config/DecimalValue.h"
#include "config/NameValueReader.h"
#include "devices/DeviceChannel.h"
#include "eventlog/EventLog.h"
#include "platform/FileSystem.h"

namespace torven {

namespace {

const std::string configFileName = "TORVEN_config.txt";

// Reads past the rest of the line: every item up to the next line-structure marker.
void skipToMarker(TextReader& reader, MetaDataEntry& item) {
    while (readNameValue(reader, item)) {
    }
}

// A stream ID becomes part of a data file name, so it must not hold a path separator or a
// control character.
bool isValidIdCharacter(char c) {
    const auto code = static_cast<unsigned char>(c);
    return c != '/' && c != '\\' && code >= 0x20 && code != 0x7F;
}

}  // namespace

SiteConfiguration::SiteConfiguration() : console(tmpDirectory + "Console.txt") {}

SiteConfiguration& programSite() {
    static SiteConfiguration site;
    return site;
}

bool SiteConfiguration::loadConfiguration() {
    configFilePath_ = confDirectory + configFileName;
    configFileTime_ = platform::fileStateText(configFilePath_);
    std::optional<TextReader> reader = TextReader::open(configFilePath_);
    if (!reader) {
        modeController.devices.clear();
        modeController.dataLogger.clear();
        loaded_ = false;
        logEvent(LogLevel::ERROR, "Cannot open Site Configuration file: " + configFilePath_);
        return false;
    }
    return loadFrom(*reader);
}

// The new devices and streams are built aside, while the ones in place keep their devices
// connected, and are then put in place of them. The headers are compared at one instant, the
// controller's clock, since each holds the time its file begins.
bool SiteConfiguration::loadFrom(TextReader& reader) {
    const std::vector<std::string> headersBefore =
        loaded_ ? modeController.dataLogger.headerTexts(*this) : std::vector<std::string>{};
    DeviceRegistry devices;
    DataLogger streams;
    siteMetaData_.clear();
    registerSiteKeywords();
    const bool accepted = readLines(reader, devices, streams) && checkIds(streams) &&
                          checkIdCharacters(streams) && checkIdLengths(streams) &&
                          checkPorts(devices);
    install(devices, streams, accepted && loaded_, headersBefore);
    loaded_ = accepted;
    return accepted;
}

// Whatever was built is put in place, also after a failure (nothing runs it then). Unless
// what it leaves alone is kept, the devices and streams in place go first, so a failed load
// releases their ports. The devices no longer needed go last, once no stream points at them.
void SiteConfiguration::install(DeviceRegistry& devices, DataLogger& streams, bool keepUnchanged,
                                const std::vector<std::string>& headersBefore) {
    ModeController& controller = modeController;
    if (!keepUnchanged) {
        controller.devices.clear();
        controller.dataLogger.clear();
    }
    controller.devices.takeOver(devices);
    const std::vector<std::string> builtHeaders =
        keepUnchanged ? streams.headerTexts(*this) : std::vector<std::string>{};
    controller.dataLogger.takeOver(streams, headersBefore, builtHeaders);
    devices.clear();
}

bool SiteConfiguration::readLines(TextReader& reader, DeviceRegistry& devices,
                                  DataLogger& streams) {
    MetaDataEntry item;
    while (!reader.atEnd()) {
        if (!readNameValue(reader, item))
            continue;
        bool lineAccepted = false;
        if (namesEqual(item.name, "SITE")) {
            lineAccepted = setSiteValue(item) && readSiteLine(reader);
        } else if (namesEqual(item.name, "DEVICE")) {
            lineAccepted = readDeviceLine(reader, item, devices);
        } else if (namesEqual(item.name, "CHANNEL")) {
            lineAccepted = readChannelLine(reader, item, devices, streams);
        } else {
            logEvent(LogLevel::ERROR, "Invalid configuration keyword: " + item.name);
        }
        if (!lineAccepted)
            return false;
    }
    return true;
}

bool SiteConfiguration::configurationChanged() const {
    return platform::fileStateText(configFilePath_) != configFileTime_;
}

std::string SiteConfiguration::siteId() const {
    std::string id;
    if (!siteMetaData_.getValue("Site", id)) {
        logEvent(LogLevel::FATAL, "Unique Site ID undefined, cannot continue program");
    }
    return id;
}

std::string SiteConfiguration::siteMetaDataText(const std::string& prefix,
                                                const std::string& separator) const {
    return siteMetaData_.toText(prefix, separator);
}

// Sets the site list up anew and enters it in the catalogue, replacing the entry of an
// earlier load so that reloads do not grow the catalogue.
void SiteConfiguration::registerSiteKeywords() {
    siteMetaData_.registerKeywords(siteKeywords);
    for (auto& [name, list] : metaDataCatalogue_) {
        if (name == "Site") {
            list = &siteMetaData_;
            return;
        }
    }
    try {
        metaDataCatalogue_.emplace_back("Site", &siteMetaData_);
    } catch (const std::bad_alloc&) {
        logEvent(LogLevel::ERROR, "Cannot Register MetaData, out of memory!?");
    }
}

bool SiteConfiguration::setSiteValue(const MetaDataEntry& item) {
    std::string message;
    if (siteMetaData_.setValue(item, message))
        return true;
    logEvent(LogLevel::ERROR, message);
    return false;
}

bool SiteConfiguration::readSiteLine(TextReader& reader) {
    MetaDataEntry item;
    while (readNameValue(reader, item)) {
        if (!setSiteValue(item))
            return false;
    }
    return true;
}

bool SiteConfiguration::readDeviceLine(TextReader& reader, const MetaDataEntry& devicePair,
                                       DeviceRegistry& devices) {
    PhysicalDevice* device = devices.addDevice(devicePair.value, "");
    if (device == nullptr) {
        logEvent(LogLevel::ERROR, devicePair.value + " No such Physical Device type is defined");
        return false;
    }
    MetaDataEntry item;
    if (!readNameValue(reader, item) || !namesEqual(item.name, "PORT")) {
        logEvent(LogLevel::ERROR, "Port for device " + devicePair.value + " is undefined");
        return false;
    }
    device->setPort(item.value);
    skipToMarker(reader, item);
    return true;
}

bool SiteConfiguration::readChannelLine(TextReader& reader, const MetaDataEntry& channelPair,
                                        const DeviceRegistry& devices, DataLogger& streams) {
    PhysicalDevice* device = devices.lastDevice();
    if (device == nullptr) {
        logEvent(LogLevel::ERROR, "Config file has defined a channel before a device");
        return false;
    }
    // A marker read in place of the pair carries the name "FILE", so it fails here too.
    MetaDataEntry item;
    readNameValue(reader, item);
    if (!namesEqual(item.name, "DATATYPE")) {
        logEvent(LogLevel::ERROR, "Invalid, 'DataType' expected in config file");
        return false;
    }
    DataCollectionType* type = streams.createType(item.value);
    if (type == nullptr) {
        logEvent(LogLevel::FATAL,
                 "Software Error: Could not allocate Measurement Type " + item.value);
        return false;
    }
    type->registerKeywords();
    type->readSampleRate();
    if (!namesEqual(channelPair.name, "Channel")) {
        logEvent(LogLevel::ERROR, "Invalid, channel expected in config file");
        return false;
    }
    // Two streams on one channel would both record it while the screen shows only one.
    const DeviceChannel* channel = device->channel(decimalValue(channelPair.value));
    if (channel != nullptr && channel->collectionType() != nullptr) {
        logEvent(LogLevel::ERROR, "Channel defined twice for one device: " + channelPair.value);
        return false;
    }
    if (!type->bindChannel(*device, decimalValue(channelPair.value))) {
        logEvent(LogLevel::ERROR, "Invalid channel Number: " + channelPair.value);
        return false;
    }
    std::string message;
    while (readNameValue(reader, item)) {
        if (!type->metaData().setValue(item, message)) {
            logEvent(LogLevel::ERROR, message);
            return false;
        }
    }
    type->buildId();
    type->readSampleRate();
    return true;
}

// Every pair of streams, earlier against later: an empty ID is reported and passed over;
// two equal IDs fail the load, since the ID names the stream's data files.
bool SiteConfiguration::checkIds(const DataLogger& streams) {
    for (int earlier = 0; earlier < streams.count(); ++earlier) {
        const std::string id = streams.typeAt(earlier)->id();
        for (int later = earlier + 1; later < streams.count(); ++later) {
            if (id.empty()) {
                logEvent(LogLevel::ERROR, "ID is null for: " + streams.typeAt(earlier)->typeName());
            } else if (id == streams.typeAt(later)->id()) {
                logEvent(LogLevel::ERROR, "Not Unique IDS : " + id);
                return false;
            }
        }
    }
    return true;
}

bool SiteConfiguration::checkIdCharacters(const DataLogger& streams) {
    for (int index = 0; index < streams.count(); ++index) {
        const std::string id = streams.typeAt(index)->id();
        for (char c : id) {
            if (!isValidIdCharacter(c)) {
                logEvent(LogLevel::ERROR, "Invalid character in ID: " + id);
                return false;
            }
        }
    }
    return true;
}

// The longest data file name a stream makes: its date, a start tag and its ID. A name the
// file system cannot hold would be neither written nor copied nor handed over.
bool SiteConfiguration::checkIdLengths(const DataLogger& streams) {
    for (int index = 0; index < streams.count(); ++index) {
        const std::string id = streams.typeAt(index)->id();
        if (!platform::nameFitsWithTemporaries("YYYYMMDD_HHMMSS_" + id + ".csv")) {
            logEvent(LogLevel::ERROR, "ID too long for a data file name: " + id);
            return false;
        }
    }
    return true;
}

bool SiteConfiguration::checkPorts(const DeviceRegistry& devices) {
    for (int index = 0; index < devices.count(); ++index) {
        if (devices.deviceAt(index)->port() == "COM*" && devices.count() > 1) {
            logEvent(LogLevel::ERROR, "COM* is ONLY okay if it is the only device in the system");
            return false;
        }
    }
    return true;
}

}  // namespace torven
