#include <gtest/gtest.h>

#include <array>
#include <string>

#include "support/UtcInstant.h"
#include "time/TimeStamp.h"

namespace torven {
namespace {

constexpr std::int64_t newYear2008 = 1199145600;  // 2008-01-01 00:00:00 UTC

TimeStamp at(std::int64_t epochSeconds) {
    TimeStamp stamp;
    stamp.setTo(epochSeconds);
    return stamp;
}

TEST(TimeStamp, EveryTextAtTheStartOf2008) {
    const TimeStamp stamp = at(newYear2008);
    EXPECT_EQ(stamp.dateTimeText(), "2008-01-01 00:00:00");
    EXPECT_EQ(stamp.yearText(), "2008");
    EXPECT_EQ(stamp.monthText(), "01");
    EXPECT_EQ(stamp.dayText(), "01");
    EXPECT_EQ(stamp.hourText(), "00");
    EXPECT_EQ(stamp.minuteText(), "00");
    EXPECT_EQ(stamp.secondText(), "00");
    EXPECT_EQ(stamp.monthName(), "Jan");
    EXPECT_EQ(stamp.secondsIntoHour(), 0);
    EXPECT_EQ(stamp.seconds(), newYear2008);
}

TEST(TimeStamp, SecondsIntoTheHour) {
    EXPECT_EQ(at(newYear2008 + 23 * 3600 + 59 * 60 + 59).secondsIntoHour(), 3599);
    EXPECT_EQ(at(newYear2008 + 14 * 3600 + 7 * 60 + 25).secondsIntoHour(), 445);
    EXPECT_EQ(at(newYear2008 + 3600).secondsIntoHour(), 0);
}

TEST(TimeStamp, FieldsOfAnAfternoon) {
    const TimeStamp stamp = at(1304431645);  // 2011-05-03 14:07:25 UTC
    EXPECT_EQ(stamp.dateTimeText(), "2011-05-03 14:07:25");
    EXPECT_EQ(stamp.yearText() + stamp.monthText() + stamp.dayText(), "20110503");
    EXPECT_EQ(stamp.hourText() + stamp.minuteText() + stamp.secondText(), "140725");
    EXPECT_EQ(stamp.monthName(), "May");
}

TEST(TimeStamp, MonthNamesInEnglish) {
    const std::array<const char*, 12> names = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int month = 0; month < 12; ++month) {
        const TimeStamp stamp = at(test::utcInstant(2008, month + 1, 15, 0, 0, 0));
        EXPECT_EQ(stamp.monthName(), names[static_cast<std::size_t>(month)]);
        EXPECT_EQ(stamp.monthText(), (month < 9 ? "0" : "") + std::to_string(month + 1));
    }
}

TEST(TimeStamp, DayAndYearBoundaries) {
    EXPECT_EQ(at(newYear2008 - 1).dateTimeText(), "2007-12-31 23:59:59");
    EXPECT_EQ(at(951782400).dateTimeText(), "2000-02-29 00:00:00");
    // Beyond 2038: the instant is kept in 64 bits.
    EXPECT_EQ(at(4102444800).dateTimeText(), "2100-01-01 00:00:00");
}

TEST(TimeStamp, NeverSetReadsAsAllZeroFields) {
    const TimeStamp stamp;
    EXPECT_EQ(stamp.dateTimeText(), "1900-01-00 00:00:00");
    EXPECT_EQ(stamp.dayText(), "00");
    EXPECT_EQ(stamp.monthName(), "Jan");
    EXPECT_EQ(stamp.yearText(), "1900");
    EXPECT_EQ(stamp.secondsIntoHour(), 0);
}

TEST(TimeStamp, SetToNowAddsTheOffset) {
    TimeStamp now;
    now.setToNow(0);
    TimeStamp later;
    later.setToNow(3600);
    const std::int64_t difference = later.seconds() - now.seconds();
    EXPECT_GE(difference, 3600);
    EXPECT_LE(difference, 3602);
    EXPECT_EQ(at(later.seconds()).dateTimeText(), later.dateTimeText());
}

}  // namespace
}  // namespace torven
