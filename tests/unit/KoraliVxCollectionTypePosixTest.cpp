#include <gtest/gtest.h>

#include <string>

#include "config/SiteConfiguration.h"
#include "support/HostSystem.h"
#include "support/ScratchStation.h"

// Zone rules in TZ (when daylight saving begins and ends) are understood by the C library on
// Linux only; Windows takes a name, an offset and a daylight name.
namespace torven {
namespace {

TEST(KoraliVxHeaderZoneRule, DaylightSavingOffsetAndName) {
    // Daylight saving all year round, so that it is in effect whenever the test runs.
    test::TimeZoneSetting zone("XST5XDT,0/0,J365/25");
    test::ScratchStation station;
    station.writeConfig(
        "SITE = Hilltop\nDEVICE = DI-194RS, PORT = COM1\n"
        "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = HT1, MonitorID = 1\n");
    SiteConfiguration site;
    ASSERT_TRUE(site.loadConfiguration());
    site.modeController.clock.setTo(1304446725);
    const std::string header = site.modeController.dataLogger.typeAt(0)->headerText(site);
    EXPECT_NE(header.find("\n# UTC_Offset = -04:00\n# TimeZone = XDT\n"), std::string::npos)
        << header;
}

}  // namespace
}  // namespace torven
