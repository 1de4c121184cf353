#pragma once

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

    // Reads and checks ..\Conf\TORVEN_config.txt, building the devices and streams anew; every
    // problem is logged at ERROR. True when the whole file was accepted.
    bool loadConfiguration();
    // The load from an opened configuration: the devices, streams and site metadata are
    // built anew from reader's items and checked, with every problem logged at ERROR.
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

  private:
    void registerSiteKeywords();
    bool readSiteLine(TextReader& reader);
    bool readDeviceLine(TextReader& reader, const MetaDataEntry& devicePair);
    bool readChannelLine(TextReader& reader, const MetaDataEntry& channelPair);
    bool setSiteValue(const MetaDataEntry& item);
    bool checkIds() const;
    bool checkIdCharacters() const;
    bool checkIdLengths() const;
    bool checkPorts() const;

    std::string configFileTime_;
    std::string configFilePath_;
    MetaDataList siteMetaData_;
    std::vector<std::pair<std::string, const MetaDataList*>> metaDataCatalogue_;
};

// The one SiteConfiguration of the program, built on first use and destroyed at exit.
SiteConfiguration& programSite();

}  // namespace torven
