#include <gtest/gtest.h>

#include "support/HostSystem.h"
#include "time/LocalTimeZone.h"

// TZ with rules for daylight saving, and zone names longer than three letters, are understood
// by the C library on Linux only.
namespace torven {
namespace {

struct ZoneCase {
    const char* tz;
    const char* offset;
    const char* name;
};

// Rules with daylight saving from the first to past the last day of the year keep it in
// effect whenever the test runs.
const ZoneCase zones[] = {
    {"XST5XDT,J1/0,J365/25", "-04:00", "XDT"},      {"NST3:30NDT,J1/0,J365/25", "-02:30", "NDT"},
    {"XST1:30XDT,J1/0,J365/25", "-00:30", "XDT"},   {"ACST-9:30", "+09:30", "ACST"},
    {"NZST-12NZDT,J1/0,J365/25", "+13:00", "NZDT"},
};

class LocalTimeZoneRuleTest : public ::testing::TestWithParam<ZoneCase> {
  protected:
    test::TimeZoneSetting zone{GetParam().tz};
};

TEST_P(LocalTimeZoneRuleTest, OffsetAndName) {
    EXPECT_EQ(utcOffsetText(), GetParam().offset);
    EXPECT_EQ(timeZoneName(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalTimeZoneRuleTest, ::testing::ValuesIn(zones));

}  // namespace
}  // namespace torven
