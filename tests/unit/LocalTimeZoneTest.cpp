#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "time/LocalTimeZone.h"

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
    {"XST5", "-05:00", "XST"},       {"XST5XDT,J1/0,J365/25", "-04:00", "XDT"},
    {"IST-5:30", "+05:30", "IST"},   {"UTC0", "+00:00", "UTC"},
    {"CET-1", "+01:00", "CET"},      {"NST3:30NDT,J1/0,J365/25", "-02:30", "NDT"},
    {"XST0:30", "-00:30", "XST"},    {"XST1:30XDT,J1/0,J365/25", "-00:30", "XDT"},
    {"ACST-9:30", "+09:30", "ACST"}, {"NZST-12NZDT,J1/0,J365/25", "+13:00", "NZDT"},
};

class LocalTimeZoneTest : public ::testing::TestWithParam<ZoneCase> {
  protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ"))
            previous_ = tz;
        ::setenv("TZ", GetParam().tz, 1);
        ::tzset();
    }
    void TearDown() override {
        if (previous_) {
            ::setenv("TZ", previous_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

  private:
    std::optional<std::string> previous_;
};

TEST_P(LocalTimeZoneTest, OffsetAndName) {
    EXPECT_EQ(utcOffsetText(), GetParam().offset);
    EXPECT_EQ(timeZoneName(), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalTimeZoneTest, ::testing::ValuesIn(zones));

}  // namespace
}  // namespace torven
