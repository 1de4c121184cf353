#include <gtest/gtest.h>

#include "support/HostSystem.h"
#include "time/LocalTimeZone.h"

namespace torven {
namespace {

struct ZoneCase {
    const char* tz;
    const char* offset;
    const char* name;
};

// Zones as both systems' C libraries take them from TZ: a name of three letters, the offset
// west of Greenwich, no daylight saving.
const ZoneCase zones[] = {
    {"XST5", "-05:00", "XST"},  {"IST-5:30", "+05:30", "IST"}, {"UTC0", "+00:00", "UTC"},
    {"CET-1", "+01:00", "CET"}, {"XST0:30", "-00:30", "XST"},
};

class LocalTimeZoneTest : public ::testing::TestWithParam<ZoneCase> {
  protected:
    test::TimeZoneSetting zone{GetParam().tz};
};

TEST_P(LocalTimeZoneTest, OffsetAndName) {
    EXPECT_EQ(utcOffsetText(), GetParam().offset);
    EXPECT_EQ(timeZoneName(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalTimeZoneTest, ::testing::ValuesIn(zones));

}  // namespace
}  // namespace torven
