#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "collection/HandOverWarnings.h"
#include "config/MetaDataList.h"
#include "config/TextReader.h"
#include "console/Console.h"
#include "shell/ModeController.h"

namespace torven {

// The program-wide object that holds all long-lived state: the directory texts, the
// configuration file's state, the site metadata, the console and the operating-mode
// controller with the devices, the streams and the clock.
class SiteConfiguration {
  public:
    SiteConfiguration();
    SiteConfiguration(const SiteConfiguration&) = delete;
    SiteConfiguration& operator=(const SiteConfiguration&) = delete;

    const std::string eventLogDirectory = "..\\EventLog\\";
    const std::string tmpDirectory = "..\\tmp\\";
    const std::string dataDirectory = "..\\Data\\";
    const std::string confDirectory = "..\\Conf\\";
    const std::string toSendDirectory = "..\\ToSend\\";

    // Reads and checks ..\Conf\TORVEN_config.txt; every problem is logged at ERROR. True when
    // the whole file was accepted.
    bool loadConfiguration();
    // The load from an opened configuration: the devices, streams and site metadata are
    // built from reader's items and checked, with every problem logged at ERROR. After an
    // accepted load, the next accepted one keeps what it leaves alone: a device on an
    // unchanged DEVICE line stays connected, and a stream that records the same channel
    // under the same header goes on with its data file. A load that fails releases the
    // devices and streams of the one before.
    bool loadFrom(TextReader& reader);
    // True when the file's state text differs from the one taken at the last load.
    bool configurationChanged() const;
    // The value of the site's "Site" entry; FATAL when the list was never set up.
    std::string siteId() const;
    std::string siteMetaDataText(const std::string& prefix, const std::string& separator) const;

    const std::string& configFilePath() const { return configFilePath_; }
    const MetaDataList& siteMetaData() const { return siteMetaData_; }
    // The metadata lists by name; the site's list is entered as "Site" at every load.
    const std::vector<std::pair<std::string, const MetaDataList*>>& metaDataCatalogue() const {
        return metaDataCatalogue_;
    }

    Console console;
    ModeController modeController;
    // What the hand-over of finished files has reported and is still waiting on.
    HandOverWarnings handOverWarnings;
    // The message of the red configuration error box while it is shown; none otherwise.
    std::optional<std::string> shownConfigurationError;

  private:
    void registerSiteKeywords();
    bool readLines(TextReader& reader, DeviceRegistry& devices, DataLogger& streams);
    bool readSiteLine(TextReader& reader);
    static bool readDeviceLine(TextReader& reader, const MetaDataEntry& devicePair,
                               DeviceRegistry& devices);
    static bool readChannelLine(TextReader& reader, const MetaDataEntry& channelPair,
                                const DeviceRegistry& devices, DataLogger& streams);
    bool setSiteValue(const MetaDataEntry& item);
    static bool checkIds(const DataLogger& streams);
    static bool checkIdCharacters(const DataLogger& streams);
    static bool checkIdLengths(const DataLogger& streams);
    static bool checkPorts(const DeviceRegistry& devices);
    void install(DeviceRegistry& devices, DataLogger& streams, bool keepUnchanged,
                 const std::vector<std::string>& headersBefore);

    std::string configFileTime_;
    std::string configFilePath_;
    // The devices and streams in place come from an accepted load.
    bool loaded_ = false;
    MetaDataList siteMetaData_;
    std::vector<std::pair<std::string, const MetaDataList*>> metaDataCatalogue_;
};

// The one SiteConfiguration of the program, built on first use and destroyed at exit.
SiteConfiguration& programSite();

}  // namespace torven
