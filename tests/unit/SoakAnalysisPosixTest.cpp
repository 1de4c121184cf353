#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cmath>
#include <set>

#include "soak/FakedTimeline.h"
#include "soak/FaultSchedule.h"
#include "soak/MonitorTerminal.h"
#include "soak/ProcessFigures.h"
#include "soak/SoakAnalysis.h"
#include "soak/SoakPlan.h"
#include "support/WaitUntil.h"

namespace torven::soak {
namespace {

constexpr std::int64_t kMay3At181845 = 1304446725;  // 2011-05-03 18:18:45 UTC
constexpr std::int64_t kHourStart = 1304445600;     // 2011-05-03 18:00:00 UTC

constexpr std::int64_t kMidnight = 1304467200;  // 2011-05-04 00:00:00 UTC

std::vector<Row> rowsAt(const std::vector<std::int64_t>& times, const std::string& value) {
    std::vector<Row> rows;
    for (std::int64_t t : times)
        rows.push_back({t, value});
    return rows;
}

// Every second from first to last, both included.
std::vector<std::int64_t> secondsFrom(std::int64_t first, std::int64_t last) {
    std::vector<std::int64_t> seconds;
    for (std::int64_t t = first; t <= last; ++t)
        seconds.push_back(t);
    return seconds;
}

// A file of 2011-05-03 named after its first row, or after 18:00:00 when it has none.
StreamFile fileOf(std::vector<Row> rows, const std::string& date = "20110503") {
    StreamFile file{{date, "180000", "D01C1_000001"}, {}};
    file.content.rows = std::move(rows);
    return file;
}

TEST(SoakDateTime, ParsesOnlyRealInstantsInTheExactForm) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> expected;
    };
    const Case cases[] = {
        {"2011-05-03 18:18:45", kMay3At181845}, {"1970-01-01 00:00:00", 0},
        {"2000-01-01 00:00:00", 946684800},     {"2024-02-29 23:59:59", 1709251199},
        {"2023-02-29 00:00:00", std::nullopt},  {"2011-13-03 18:18:45", std::nullopt},
        {"2011-05-03 24:00:00", std::nullopt},  {"2011-05-03 18:60:00", std::nullopt},
        {"2011-05-03T18:18:45", std::nullopt},  {"2011-05-03 18:18:4", std::nullopt},
        {"2011-05-03 18:18:45 ", std::nullopt}, {"2011-05-0x 18:18:45", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseDateTime(c.text), c.expected) << c.text;
}

TEST(SoakDateTime, FormattingIsTheInverseOfParsing) {
    for (std::int64_t t :
         {std::int64_t{0}, kMay3At181845, std::int64_t{1709251199}, std::int64_t{4102444800}}) {
        EXPECT_EQ(parseDateTime(formatDateTime(t)), t) << formatDateTime(t);
    }
    EXPECT_EQ(formatDateTime(kMay3At181845), "2011-05-03 18:18:45");
}

TEST(SoakRowDue, FollowsTheSecondIntoTheHour) {
    EXPECT_TRUE(rowDue(kMay3At181845, 5));
    EXPECT_FALSE(rowDue(kMay3At181845 + 1, 5));
    EXPECT_TRUE(rowDue(kMay3At181845, 1));
    // An interval that does not divide the hour starts again at every hour.
    EXPECT_TRUE(rowDue(kHourStart + 3591, 7));
    EXPECT_TRUE(rowDue(kHourStart + 3598, 7));
    EXPECT_FALSE(rowDue(kHourStart + 3599, 7));
    EXPECT_TRUE(rowDue(kHourStart + 3600, 7));
    EXPECT_TRUE(rowDue(kHourStart + 3607, 7));
    EXPECT_TRUE(rowDue(kHourStart, 3600));
    EXPECT_FALSE(rowDue(kHourStart + 1800, 3600));
    EXPECT_FALSE(rowDue(kHourStart, 0));
    EXPECT_FALSE(rowDue(kHourStart, -5));
}

TEST(SoakDataFile, ReadsHeaderAndRows) {
    const DataFileContent parsed = parseDataFile(
        "# Site = Soak\r\n#\r\n# SampleRate = 5\r\n"
        "2011-05-03 18:18:45, +1.234\r\n2011-05-03 18:18:50, -12.500\r\n");
    EXPECT_EQ(parsed.headerLines, 3);
    EXPECT_EQ(parsed.malformedLines, 0);
    ASSERT_EQ(parsed.rows.size(), 2u);
    EXPECT_EQ(parsed.rows[0].time, kMay3At181845);
    EXPECT_EQ(parsed.rows[0].value, "+1.234");
    EXPECT_EQ(parsed.rows[1].time, kMay3At181845 + 5);
    EXPECT_EQ(parsed.rows[1].value, "-12.500");
}

TEST(SoakDataFile, CountsEveryDamagedLine) {
    struct Case {
        const char* content;
        int rows;
        int malformed;
    };
    const Case cases[] = {
        {"2011-05-03 18:18:45, +1.234\r\n2011-05-03 18:18:50, +1.2", 1, 1},  // cut short
        {"2011-05-03 18:18:45, +1.234\n", 0, 1},                             // no CR
        {"2011-05-03 18:18:45, +1.234\r\n# Site = again\r\n", 1, 1},         // second header
        {"2011-05-03 18:18:45, --N/A-\r\n", 0, 1},
        {"2011-05-03 18:18:45,+1.234\r\n", 0, 1},
        {"2011-05-03 18:18:45, 1.234\r\n", 0, 1},
        {"2011-05-03 18:18:45, +1.23\r\n", 0, 1},
        {"2011-05-03 18:18:45, +1.2345\r\n", 0, 1},
        {"2011-02-30 18:18:45, +1.234\r\n", 0, 1},
        {"\r\n", 0, 1},
        {"2011-05-03 18:18:45, +12.346\r\n", 1, 0},
        {"", 0, 0},
    };
    for (const Case& c : cases) {
        const DataFileContent parsed = parseDataFile(c.content);
        EXPECT_EQ(static_cast<int>(parsed.rows.size()), c.rows) << c.content;
        EXPECT_EQ(parsed.malformedLines, c.malformed) << c.content;
    }
}

TEST(SoakDataFile, NameGivesDateStartTagAndStreamId) {
    const auto name = parseDataFileName("20110503_181845_HT1_123456.csv");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->date, "20110503");
    EXPECT_EQ(name->startTag, "181845");
    EXPECT_EQ(name->streamId, "HT1_123456");
    for (const char* other :
         {"Console.txt", "20110503_181845_.csv", "20110503_181845_HT1.txt",
          "2011050x_181845_HT1.csv", "20110503-181845_HT1.csv", ".20110503_181845_HT1.csv.part"}) {
        EXPECT_FALSE(parseDataFileName(other)) << other;
    }
}

TEST(SoakStreamAnalysis, CompleteStreamHasNoGapAndFullCompleteness) {
    const auto window = secondsFrom(kHourStart + 10, kHourStart + 69);
    std::vector<std::int64_t> times;
    for (std::int64_t t = kHourStart; t < kHourStart + 80; t += 5)
        times.push_back(t);
    const StreamFigures figures =
        analyseStream({fileOf(rowsAt(times, "+1.000"))}, 5, window, "+1.000");
    EXPECT_EQ(figures.due, 12);  // seconds 10, 15, ..., 65
    EXPECT_EQ(figures.written, 12);
    EXPECT_EQ(figures.missing(), 0);
    EXPECT_DOUBLE_EQ(figures.completeness(), 100.0);
    EXPECT_FALSE(figures.longestGap());
    EXPECT_TRUE(figures.rowsSound());
}

TEST(SoakStreamAnalysis, FindsEveryGapAndTheLongest) {
    const auto window = secondsFrom(kHourStart, kHourStart + 19);
    // Interval 1: seconds 3-4 and 10-14 missing, and the last second 19.
    std::vector<std::int64_t> times;
    for (std::int64_t s = 0; s < 19; ++s) {
        if ((s >= 3 && s <= 4) || (s >= 10 && s <= 14))
            continue;
        times.push_back(kHourStart + s);
    }
    const StreamFigures figures = analyseStream({fileOf(rowsAt(times, "+1.000"))}, 1, window, {});
    EXPECT_EQ(figures.due, 20);
    EXPECT_EQ(figures.written, 12);
    EXPECT_DOUBLE_EQ(figures.completeness(), 60.0);
    ASSERT_EQ(figures.gaps.size(), 3u);
    EXPECT_EQ(figures.gaps[0].start, kHourStart + 3);
    EXPECT_EQ(figures.gaps[0].rows, 2);
    EXPECT_EQ(figures.gaps[2].start, kHourStart + 19);
    const auto longest = figures.longestGap();
    ASSERT_TRUE(longest);
    EXPECT_EQ(longest->start, kHourStart + 10);
    EXPECT_EQ(longest->rows, 5);
    EXPECT_EQ(longest->seconds, 5);
}

TEST(SoakStreamAnalysis, GapSecondsSpanTheSampleInterval) {
    const auto window = secondsFrom(kHourStart, kHourStart + 59);
    const StreamFigures figures = analyseStream(
        {fileOf(rowsAt({kHourStart, kHourStart + 40, kHourStart + 50}, "+1.000"))}, 10, window, {});
    EXPECT_EQ(figures.due, 6);
    ASSERT_TRUE(figures.longestGap());
    EXPECT_EQ(figures.longestGap()->rows, 3);  // 10, 20, 30
    EXPECT_EQ(figures.longestGap()->seconds, 30);
}

TEST(SoakStreamAnalysis, SecondsLeftOutOfTheCountEndAGap) {
    // Seconds 10 to 19 are not counted; rows are missing at 8, 9, 20 and 21.
    std::vector<std::int64_t> window = secondsFrom(kHourStart, kHourStart + 9);
    const auto later = secondsFrom(kHourStart + 20, kHourStart + 29);
    window.insert(window.end(), later.begin(), later.end());
    std::vector<std::int64_t> times;
    for (std::int64_t t : window) {
        if (t < kHourStart + 8 || t > kHourStart + 21)
            times.push_back(t);
    }
    const StreamFigures figures = analyseStream({fileOf(rowsAt(times, "+1.000"))}, 1, window, {});
    EXPECT_EQ(figures.due, 20);
    EXPECT_EQ(figures.missing(), 4);
    ASSERT_EQ(figures.gaps.size(), 2u);
    EXPECT_EQ(figures.gaps[0].start, kHourStart + 8);
    EXPECT_EQ(figures.gaps[0].seconds, 2);
    EXPECT_EQ(figures.gaps[1].start, kHourStart + 20);
    EXPECT_EQ(figures.gaps[1].rows, 2);
}

TEST(SoakStreamAnalysis, RowsFromSeveralFilesAreMergedInTimeOrder) {
    const auto window = secondsFrom(kHourStart, kHourStart + 5);
    const StreamFile later =
        fileOf(rowsAt({kHourStart + 3, kHourStart + 4, kHourStart + 5}, "+1.000"));
    const StreamFile earlier =
        fileOf(rowsAt({kHourStart, kHourStart + 1, kHourStart + 2}, "+1.000"));
    const StreamFigures figures = analyseStream({later, earlier}, 1, window, "+1.000");
    EXPECT_EQ(figures.written, 6);
    EXPECT_EQ(figures.missing(), 0);
    EXPECT_TRUE(figures.rowsSound());
}

TEST(SoakStreamAnalysis, FaultsOfTheRowsCountOutsideTheWindowToo) {
    const auto window = secondsFrom(kHourStart + 10, kHourStart + 20);
    std::vector<Row> rows = rowsAt({kHourStart, kHourStart, kHourStart + 3}, "+1.000");
    rows.push_back({kHourStart + 10, "+2.000"});
    StreamFile file = fileOf(rows);
    file.content.malformedLines = 2;
    const StreamFigures figures = analyseStream({file}, 5, window, "+1.000");
    EXPECT_EQ(figures.duplicates, 1);
    EXPECT_EQ(figures.offSchedule, 1);
    EXPECT_EQ(figures.wrongValues, 1);
    EXPECT_EQ(figures.malformedLines, 2);
    EXPECT_EQ(figures.outOfOrder, 1);  // the second row of the same second
    EXPECT_FALSE(figures.rowsSound());
    // The row with the wrong value still counts as written: it is there, but not sound.
    EXPECT_EQ(figures.due, 3);
    EXPECT_EQ(figures.written, 1);
}

TEST(SoakStreamAnalysis, StreamWithoutRowsIsOneGapOverTheWindow) {
    const auto window = secondsFrom(kHourStart, kHourStart + 29);
    const StreamFigures figures = analyseStream({}, 2, window, "+1.000");
    EXPECT_EQ(figures.due, 15);
    EXPECT_EQ(figures.written, 0);
    EXPECT_DOUBLE_EQ(figures.completeness(), 0.0);
    ASSERT_EQ(figures.gaps.size(), 1u);
    EXPECT_EQ(figures.gaps[0].seconds, 30);
    EXPECT_TRUE(figures.rowsSound());
}

TEST(SoakStreamAnalysis, RowsOutOfOrderOrOfAnotherDay) {
    const std::int64_t t = kHourStart;
    struct Case {
        const char* what;
        std::vector<StreamFile> files;
        int outOfOrder;
        int otherDay;
        int duplicates;
    };
    const Case cases[] = {
        {"in order", {fileOf(rowsAt({t, t + 1, t + 2}, "+1.000"))}, 0, 0, 0},
        {"a row written twice", {fileOf(rowsAt({t, t + 1, t + 1}, "+1.000"))}, 1, 0, 1},
        {"rows again after a step back",
         {fileOf(rowsAt({t, t + 1, t + 2, t, t + 1, t + 3}, "+1.000"))},
         1,  // only the first row after the step is not later than the row before it
         0,
         2},
        {"a step forward leaves a hole, no fault",
         {fileOf(rowsAt({t, t + 1, t + 7}, "+1.000"))},
         0,
         0,
         0},
        {"files whose times overlap",
         {fileOf(rowsAt({t + 2, t + 3, t + 4, t + 5}, "+1.000")),
          fileOf(rowsAt({t, t + 1, t + 2, t + 3}, "+1.000"))},
         2,
         0,
         2},
        {"files that follow each other",
         {fileOf(rowsAt({t, t + 1}, "+1.000")), fileOf(rowsAt({t + 2, t + 3}, "+1.000"))},
         0,
         0,
         0},
        {"the new day's row in the old day's file",
         {fileOf(rowsAt({kMidnight - 1, kMidnight}, "+1.000"), "20110503")},
         0,
         1,
         0},
        {"the old day's rows in the new day's file after a step back across midnight",
         {fileOf(rowsAt({kMidnight, kMidnight + 1}, "+1.000"), "20110504"),
          fileOf(rowsAt({kMidnight - 2, kMidnight - 1}, "+1.000"), "20110504")},
         0,
         2,
         0},
    };
    for (const Case& c : cases) {
        const StreamFigures figures = analyseStream(c.files, 1, {}, "+1.000");
        EXPECT_EQ(figures.outOfOrder, c.outOfOrder) << c.what;
        EXPECT_EQ(figures.otherDay, c.otherDay) << c.what;
        EXPECT_EQ(figures.duplicates, c.duplicates) << c.what;
        EXPECT_EQ(figures.rowsSound(), c.outOfOrder + c.otherDay + c.duplicates == 0) << c.what;
    }
}

TEST(SoakCopies, LongestCopyCountsAndALiveShorterOneIsAFault) {
    struct Case {
        const char* what;
        std::vector<FileCopy> copies;
        std::string chosen;
        bool replaced;
    };
    const Case cases[] = {
        {"current file in tmp, its copy in Data",
         {{"f", "abc", true}, {"f", "abc", true}},
         "abc",
         false},
        {"Data holds a shorter copy than ToSend",
         {{"f", "ab", true}, {"f", "abcd", true}},
         "abcd",
         true},
        {"a folder taken away kept an earlier state",
         {{"f", "ab", false}, {"f", "abc", true}},
         "abc",
         false},
        {"the file was written anew after its folder was taken away",
         {{"f", "abcd", false}, {"f", "ab", true}},
         "abcd",
         true},
        {"only in a folder taken away", {{"f", "abc", false}}, "abc", false},
    };
    for (const Case& c : cases) {
        const ChosenCopies chosen = chooseCopies(c.copies);
        ASSERT_EQ(chosen.contents.size(), 1u) << c.what;
        EXPECT_EQ(chosen.contents.at("f"), c.chosen) << c.what;
        EXPECT_EQ(chosen.replacedByShorter.count("f") == 1, c.replaced) << c.what;
    }
    const ChosenCopies two = chooseCopies({{"f", "a", true}, {"g", "bb", true}});
    EXPECT_EQ(two.contents.size(), 2u);
    EXPECT_TRUE(two.replacedByShorter.empty());
}

TEST(SoakFakedTimeline, SecondsOweRowsOnlyWhenTheClockLivesThemFirst) {
    constexpr double kReal = 1000000000.0;
    constexpr std::int64_t r = 1000000000;
    struct Step {
        double at;
        std::int64_t offset;
    };
    struct Case {
        const char* what;
        std::int64_t startOffset;
        std::vector<Step> steps;
        double from;
        double to;
        int slack;
        std::vector<std::int64_t> expected;
    };
    constexpr std::int64_t m = kMidnight;
    const std::int64_t nearMidnight = m - r - 10;  // the clock starts ten seconds before midnight
    const Case cases[] = {
        {"no step", 0, {}, kReal + 2, kReal + 6, 0, secondsFrom(r + 2, r + 5)},
        {"a step forward skips seconds",
         0,
         {{kReal + 3.5, 5}},
         kReal,
         kReal + 8,
         0,
         {r, r + 1, r + 2, r + 3, r + 9, r + 10, r + 11, r + 12}},
        {"slack about departure and landing",
         0,
         {{kReal + 3.5, 5}},
         kReal,
         kReal + 8,
         1,
         {r, r + 1, r + 10, r + 11, r + 12}},
        {"a step back owes nothing until the clock is past where it was",
         0,
         {{kReal + 5, -3}},
         kReal,
         kReal + 12,
         0,
         secondsFrom(r, r + 8)},
        {"a step back across midnight",
         nearMidnight,
         {{kReal + 15, nearMidnight - 20}},
         kReal,
         kReal + 40,
         0,
         secondsFrom(m - 10, m + 9)},
        {"counting starts late: the re-lived seconds still owe nothing",
         nearMidnight,
         {{kReal + 15, nearMidnight - 20}},
         kReal + 20,
         kReal + 40,
         0,
         secondsFrom(m + 5, m + 9)},
        {"two steps back",
         0,
         {{kReal + 4, -2}, {kReal + 6, -4}},
         kReal,
         kReal + 14,
         0,
         secondsFrom(r, r + 9)},
    };
    for (const Case& c : cases) {
        FakedTimeline timeline(c.startOffset);
        for (const Step& step : c.steps)
            timeline.step(step.at, step.offset);
        EXPECT_EQ(timeline.firstLivedSeconds(kReal, c.from, c.to, c.slack), c.expected) << c.what;
    }
}

TEST(SoakFakedTimeline, MidnightsAsTheClockPassesThem) {
    constexpr double kReal = 1000000000.0;
    FakedTimeline timeline(kMidnight - 1000000000 - 10);
    EXPECT_EQ(timeline.offsetAt(kReal), kMidnight - 1000000010);
    timeline.step(kReal + 15, kMidnight - 1000000030);
    EXPECT_DOUBLE_EQ(timeline.fakedAt(kReal + 16), static_cast<double>(kMidnight - 14));
    EXPECT_EQ(timeline.midnights(kReal, kReal + 40), (std::vector<double>{kReal + 10, kReal + 30}));
    EXPECT_EQ(timeline.midnights(kReal, kReal + 9), std::vector<double>{});
}

TEST(SoakGrowths, WorstIntervalOnlyInsideTheWindow) {
    const std::vector<double> growths = {0.0, 5.0, 6.0, 7.2, 8.1, 20.0};
    EXPECT_DOUBLE_EQ(*worstInterval(growths, 5.0, 9.0), 1.2);
    EXPECT_DOUBLE_EQ(*worstInterval(growths, 0.0, 100.0), 11.9);
    EXPECT_FALSE(worstInterval(growths, 9.0, 19.0));
    EXPECT_FALSE(worstInterval(growths, 19.0, 30.0));
}

TEST(SoakGrowths, FirstGrowthAfterAPlugBack) {
    const std::vector<double> growths = {1.0, 2.0, 13.5, 14.5};
    EXPECT_DOUBLE_EQ(*firstGrowthAfter(growths, 10.0, 20.0), 13.5);
    EXPECT_DOUBLE_EQ(*firstGrowthAfter(growths, 2.0, 20.0), 2.0);
    EXPECT_FALSE(firstGrowthAfter(growths, 3.0, 13.5));
}

TEST(SoakEventLog, SplitsAnEntry) {
    const auto entry =
        parseEventLogLine("2011-05-03 18:18:45, INFO, \"Entering Data Collection Mode\"");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->time, kMay3At181845);
    EXPECT_EQ(entry->level, "INFO");
    EXPECT_EQ(entry->message, "Entering Data Collection Mode");
    const auto quoted = parseEventLogLine("2011-05-03 18:18:45, ERROR, \"a \"quoted\", b\"");
    ASSERT_TRUE(quoted);
    EXPECT_EQ(quoted->message, "a \"quoted\", b");
    EXPECT_EQ(parseEventLogLine("2011-05-03 18:18:45, WARN, \"\"")->message, "");
    for (const char* bad : {"", "2011-05-03 18:18:45, INFO, \"unterminated",
                            "2011-05-03 18:18:45 INFO \"x\"", "garbage, INFO, \"x\""}) {
        EXPECT_FALSE(parseEventLogLine(bad)) << bad;
    }
}

TEST(SoakEventLog, PortOfAReturnedDevice) {
    EXPECT_EQ(returnedOnlinePort("DI-194RS on port COM5 has returned online"), "COM5");
    EXPECT_EQ(returnedOnlinePort("DI-194RS on port COM12 has returned online"), "COM12");
    EXPECT_FALSE(returnedOnlinePort("DI-194RS on port  has returned online"));
    EXPECT_FALSE(returnedOnlinePort("Data collection: Lost connection for D05C1_000001"));
    EXPECT_FALSE(returnedOnlinePort("has returned online"));
}

TEST(SoakFaultSchedule, ReadsEveryKindOfEntry) {
    std::string message;
    const auto schedule =
        FaultSchedule::parse("3:silent,5:flap:10,7:noframe,9:badnz,1:healthy", 10, message);
    ASSERT_TRUE(schedule) << message;
    EXPECT_EQ(schedule->deviceCount(), 10);
    EXPECT_EQ(schedule->fault(3).kind, FaultKind::Silent);
    EXPECT_EQ(schedule->fault(5).kind, FaultKind::Flap);
    EXPECT_EQ(schedule->fault(5).flapSeconds, 10);
    EXPECT_EQ(schedule->fault(7).kind, FaultKind::NoFrameStart);
    EXPECT_EQ(schedule->fault(9).kind, FaultKind::WrongNzReply);
    for (int healthy : {1, 2, 4, 6, 8, 10})
        EXPECT_TRUE(schedule->healthy(healthy)) << healthy;
    EXPECT_EQ(schedule->describe(5), "flap 10 s");
    const auto none = FaultSchedule::parse("none", 4, message);
    ASSERT_TRUE(none);
    for (int device = 1; device <= 4; ++device)
        EXPECT_TRUE(none->healthy(device));
}

TEST(SoakFaultSchedule, RejectsBadEntriesWithAReason) {
    for (const char* bad : {"", "3", "3:", "0:silent", "11:silent", "3:silent,3:badnz", "3:sleepy",
                            "3:flap", "3:flap:0", "3:flap:x", "3:silent:5", "3:flap:10:2",
                            "x:silent", "3:silent,", "-1:silent"}) {
        std::string message;
        EXPECT_FALSE(FaultSchedule::parse(bad, 10, message)) << bad;
        EXPECT_FALSE(message.empty()) << bad;
    }
}

TEST(SoakFaultSchedule, ReadsStationEventsInTimeOrder) {
    std::string message;
    const auto schedule = FaultSchedule::parse(
        "clock@70:+5,3:silent,clock@40:-2,midnight@60,nosend@30:5,nodata@20:8,tmpfsdata,"
        "nodata@28:2",
        4, message);
    ASSERT_TRUE(schedule) << message;
    ASSERT_EQ(schedule->clockSteps().size(), 2u);
    EXPECT_EQ(schedule->clockSteps()[0].atSecond, 40);
    EXPECT_EQ(schedule->clockSteps()[0].seconds, -2);
    EXPECT_EQ(schedule->clockSteps()[1].seconds, 5);
    EXPECT_EQ(schedule->midnightSecond(), 60);
    ASSERT_EQ(schedule->folderOutages().size(), 3u);
    EXPECT_EQ(schedule->folderOutages()[0].folder, "Data");
    EXPECT_EQ(schedule->folderOutages()[0].seconds, 8);
    EXPECT_EQ(schedule->folderOutages()[1].atSecond, 28);
    EXPECT_EQ(schedule->folderOutages()[2].folder, "ToSend");
    EXPECT_TRUE(schedule->dataOnTmpfs());
    EXPECT_FALSE(schedule->healthy(3));
    const auto none = FaultSchedule::parse("none", 4, message);
    EXPECT_TRUE(none->clockSteps().empty());
    EXPECT_FALSE(none->midnightSecond());
    EXPECT_FALSE(none->dataOnTmpfs());
}

TEST(SoakFaultSchedule, RejectsBadStationEvents) {
    for (const char* bad :
         {"clock@40", "clock@40:2", "clock@40:-0", "clock@40:-", "clock@x:-2", "clock@-1:+2",
          "clock@40:-2,clock@40:+3", "midnight@5,midnight@6", "midnight@5:1", "midnight@",
          "nodata@20", "nodata@20:0", "nodata@20:8,nodata@25:8", "nosend@20:x", "lunch@20:8",
          "@20:8", "tmpfsdata:1"}) {
        std::string message;
        EXPECT_FALSE(FaultSchedule::parse(bad, 4, message)) << bad;
        EXPECT_FALSE(message.empty()) << bad;
    }
}

TEST(SoakFaultSchedule, DefaultLeavesOutDevicesBeyondTheCount) {
    const std::string events =
        "nodata@15:8,nosend@25:6,clock@35:-2,clock@45:+5,midnight@60,clock@65:-25,clock@100:+3,";
    const std::string monitor = "reload@48,scan@55:4,calibrate@92:6";
    EXPECT_EQ(FaultSchedule::defaultText(16),
              "3:silent,5:flap:10,7:noframe,9:badnz," + events + "drop@37:3:4," + monitor);
    EXPECT_EQ(FaultSchedule::defaultText(8),
              "3:silent,5:flap:10,7:noframe," + events + "drop@37:3:4," + monitor);
    // A healthy device always stays up beside the drop.
    EXPECT_EQ(FaultSchedule::defaultText(4), "3:silent," + events + "drop@37:2:4," + monitor);
    EXPECT_EQ(FaultSchedule::defaultText(2), events + "drop@37:1:4," + monitor);
    EXPECT_EQ(FaultSchedule::defaultText(1), events + monitor);
    std::string message;
    for (int count = 1; count <= SoakPlan::kMaxDevices; ++count) {
        EXPECT_TRUE(FaultSchedule::parse(FaultSchedule::defaultText(count), count, message))
            << count << ": " << message;
    }
}

TEST(SoakFaultSchedule, ReadsTheMonitorsOwnEvents) {
    std::string message;
    const auto schedule = FaultSchedule::parse(
        "calibrate@90:6,reload@40,scan@50,reload@20,scan@70:3,scan@100:stay,drop@30:2:5,3:silent",
        6, message);
    ASSERT_TRUE(schedule) << message;
    EXPECT_EQ(schedule->reloads(), (std::vector<int>{20, 40}));
    ASSERT_EQ(schedule->scans().size(), 3u);
    EXPECT_EQ(schedule->scans()[0].keySeconds, 5);
    EXPECT_EQ(schedule->scans()[1].keySeconds, 3);
    EXPECT_FALSE(schedule->scans()[2].keySeconds);
    ASSERT_EQ(schedule->calibrations().size(), 1u);
    EXPECT_EQ(schedule->calibrations()[0].seconds, 6);
    ASSERT_EQ(schedule->drops().size(), 1u);
    EXPECT_EQ(schedule->drops()[0].seconds, 5);
    EXPECT_EQ(schedule->drops()[0].devices, (std::vector<int>{6, 5}));
}

TEST(SoakFaultSchedule, DropsTakeHealthyDevicesFromTheTopAndNeverTwiceAtOnce) {
    struct Case {
        const char* text;
        int devices;
        std::vector<std::vector<int>> expected;  // the devices of each drop, in time order
    };
    const Case cases[] = {
        {"drop@40:3:5", 16, {{16, 15, 14}}},
        {"16:silent,15:flap:10,drop@40:3:5", 16, {{14, 13, 12}}},
        {"drop@40:2:5,drop@42:2:5", 4, {{4, 3}, {2, 1}}},
        {"drop@40:2:5,drop@45:2:5", 4, {{4, 3}, {4, 3}}},  // the first is over by then
        {"drop@40:4:5", 4, {{4, 3, 2, 1}}},
    };
    for (const Case& c : cases) {
        std::string message;
        const auto schedule = FaultSchedule::parse(c.text, c.devices, message);
        ASSERT_TRUE(schedule) << c.text << ": " << message;
        std::vector<std::vector<int>> chosen;
        for (const SimultaneousDrop& drop : schedule->drops())
            chosen.push_back(drop.devices);
        EXPECT_EQ(chosen, c.expected) << c.text;
    }
}

TEST(SoakFaultSchedule, RejectsBadMonitorEvents) {
    for (const char* bad :
         {"reload@40:2", "reload@", "scan@50:0", "scan@50:x", "scan@50:4:1", "calibrate@90",
          "calibrate@90:0", "calibrate@90:6:1", "drop@40:3", "drop@40:0:5", "drop@40:3:0",
          "drop@40:5:5", "3:silent,drop@40:4:5", "drop@40:3:5,drop@41:2:5",
          "calibrate@90:6,scan@95", "scan@50:4,calibrate@55:6", "scan@50:stay,calibrate@200:6",
          "calibrate@90:6,calibrate@97:6"}) {
        std::string message;
        EXPECT_FALSE(FaultSchedule::parse(bad, 4, message)) << bad;
        EXPECT_FALSE(message.empty()) << bad;
    }
}

TEST(SoakNotOwed, SecondsTouchingASpanOweNothing) {
    constexpr double kReal = 1000000000.0;
    constexpr std::int64_t r = 1000000000;
    std::vector<LivedSecond> lived;
    for (int i = 0; i < 10; ++i)
        lived.push_back({r + 100 + i, kReal + i});  // the faked clock runs 100 s ahead
    struct Case {
        const char* what;
        std::vector<RealSpan> spans;
        std::vector<std::int64_t> expected;
    };
    const Case cases[] = {
        {"no span", {}, secondsFrom(r + 100, r + 109)},
        {"a span inside a second takes that second",
         {{kReal + 3.2, kReal + 3.4}},
         {r + 100, r + 101, r + 102, r + 104, r + 105, r + 106, r + 107, r + 108, r + 109}},
        {"a span ending where a second begins leaves that second owed",
         {{kReal + 2.5, kReal + 5.0}},
         {r + 100, r + 101, r + 105, r + 106, r + 107, r + 108, r + 109}},
        {"two spans, overlapping and out of order",
         {{kReal + 7.0, kReal + 20.0}, {kReal - 5.0, kReal + 1.0}, {kReal + 6.5, kReal + 8.0}},
         {r + 101, r + 102, r + 103, r + 104, r + 105}},
        {"a span beyond the seconds",
         {{kReal + 30.0, kReal + 40.0}},
         secondsFrom(r + 100, r + 109)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(secondsOutside(lived, c.spans), c.expected) << c.what;
}

TEST(SoakNotOwed, LivedSecondsCarryTheRealTimeTheyBegan) {
    constexpr double kReal = 1000000000.0;
    constexpr std::int64_t r = 1000000000;
    FakedTimeline timeline(50);
    timeline.step(kReal + 3.5, 40);  // ten seconds back
    const std::vector<LivedSecond> lived = timeline.firstLived(kReal, kReal, kReal + 16, 0);
    ASSERT_EQ(lived.size(), 6u);
    EXPECT_EQ(lived.front().second, r + 50);
    EXPECT_DOUBLE_EQ(lived.front().realTime, kReal);
    // After the step back the clock re-lives its seconds; the first new one is r + 54.
    EXPECT_EQ(lived[4].second, r + 54);
    EXPECT_DOUBLE_EQ(lived[4].realTime, kReal + 14);
}

TEST(SoakGrowths, WorstIntervalOnlyBetweenTheSpans) {
    // Growths once a second, with a hole of 5 s from 10 to 15 and one of 3 s from 20 to 23.
    std::vector<double> growths;
    for (double t = 0.0; t <= 30.0; t += 1.0) {
        if ((t > 10.0 && t < 15.0) || (t > 20.0 && t < 23.0))
            continue;
        growths.push_back(t);
    }
    struct Case {
        const char* what;
        std::vector<RealSpan> spans;
        std::optional<double> expected;
    };
    const Case cases[] = {
        {"no span", {}, 5.0},
        {"the longest hole inside a span", {{9.5, 15.5}}, 3.0},
        {"both holes inside spans, out of order", {{19.5, 23.5}, {9.5, 15.5}}, 1.0},
        // The growths on both sides of a span make no interval, however short the span.
        {"a span within the longest hole takes it out", {{12.0, 13.0}}, 3.0},
        {"everything inside one span", {{-1.0, 40.0}}, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(worstIntervalOutside(growths, 0.0, 30.0, c.spans), c.expected) << c.what;
}

TEST(SoakFaultSchedule, FlappingStartsPluggedAndAlternates) {
    EXPECT_TRUE(FaultSchedule::plugged(0.0, 10));
    EXPECT_TRUE(FaultSchedule::plugged(9.99, 10));
    EXPECT_FALSE(FaultSchedule::plugged(10.0, 10));
    EXPECT_FALSE(FaultSchedule::plugged(19.99, 10));
    EXPECT_TRUE(FaultSchedule::plugged(20.0, 10));
    EXPECT_FALSE(FaultSchedule::plugged(31.0, 10));
}

TEST(SoakProcessFigures, CpuFromStatCountsFieldsAfterTheName) {
    // utime 150 and stime 50 ticks; the name holds blanks and a parenthesis.
    const std::string stat =
        "4242 (torven (mon) x) S 1 4242 4242 0 -1 4194304 100 0 0 0 150 50 0 0 20 0 1 0 "
        "12345 1000000 300 18446744073709551615";
    EXPECT_DOUBLE_EQ(*cpuSecondsFromStat(stat, 100), 2.0);
    EXPECT_FALSE(cpuSecondsFromStat("4242 (x) S 1 2", 100));
    EXPECT_FALSE(cpuSecondsFromStat("no name here", 100));
}

TEST(SoakProcessFigures, RssFromStatus) {
    EXPECT_EQ(rssKibFromStatus("Name:\ttorven\nVmPeak:\t 9000 kB\nVmRSS:\t    3124 kB\n"), 3124);
    EXPECT_FALSE(rssKibFromStatus("Name:\ttorven\nVmPeak:\t 9000 kB\n"));
}

TEST(SoakProcessFigures, ThisProcessCanBeSampled) {
    const auto figures = ProcessFigures::sample(static_cast<int>(::getpid()));
    ASSERT_TRUE(figures);
    EXPECT_GT(figures->rssKib, 0);
    EXPECT_GE(figures->cpuSeconds, 0.0);
}

TEST(SoakMonitorTerminal, KeysCountAsUnreadUntilTheProgramReadsThem) {
    std::string message;
    const auto terminal = MonitorTerminal::open(message);
    ASSERT_TRUE(terminal) << message;
    const int program = terminal->programSide();
    // Keys one by one, unechoed, as the monitor sets its terminal.
    termios settings{};
    ASSERT_EQ(tcgetattr(program, &settings), 0);
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    ASSERT_EQ(tcsetattr(program, TCSANOW, &settings), 0);
    EXPECT_EQ(terminal->unread(), 0);
    ASSERT_TRUE(terminal->type("\x1b"));
    EXPECT_TRUE(test::waitUntil([&] { return terminal->unread() == 1; }));
    char key = 0;
    ASSERT_EQ(read(program, &key, 1), 1);
    EXPECT_EQ(key, '\x1b');
    EXPECT_EQ(terminal->unread(), 0);
}

TEST(SoakMonitorTerminal, WhatTheProgramDrawsNeverFillsTheTerminal) {
    std::string message;
    const auto terminal = MonitorTerminal::open(message);
    ASSERT_TRUE(terminal) << message;
    const int program = terminal->programSide();
    ASSERT_EQ(fcntl(program, F_SETFL, fcntl(program, F_GETFL) | O_NONBLOCK), 0);
    // Far more than a terminal buffers: without the drain the writes would stop for good.
    const std::string screen(4096, 'x');
    std::size_t written = 0;
    EXPECT_TRUE(test::waitUntil([&] {
        const ssize_t count = write(program, screen.data(), screen.size());
        written += count > 0 ? static_cast<std::size_t>(count) : 0;
        return written >= 1024 * 1024;
    }));
}

TEST(SoakPlanTest, EveryChannelRecordedWithDistinctExactValues) {
    const SoakPlan plan(SoakPlan::kMaxDevices);
    ASSERT_EQ(plan.streams().size(), 80u);
    std::set<std::string> ids;
    std::set<std::string> values;
    for (const StreamPlan& stream : plan.streams()) {
        ids.insert(stream.streamId);
        values.insert(stream.valueText);
        // A whole count of the device's 10-bit scale, so the row shows exactly this value.
        const double count = (stream.volts + 10.0) * 1024.0 / 20.0;
        EXPECT_EQ(count, std::floor(count)) << stream.streamId;
        EXPECT_GE(count, 0.0);
        EXPECT_LE(count, 1023.0);
    }
    EXPECT_EQ(ids.size(), 80u);
    EXPECT_EQ(values.size(), 80u);
    EXPECT_EQ(plan.streams().front().streamId, "D01C1_000001");
    EXPECT_EQ(plan.streams().front().valueText, "-9.004");
}

TEST(SoakPlanTest, ConfigurationStartsWithTheSiteAndNamesEveryDevice) {
    const SoakPlan plan(2);
    EXPECT_EQ(plan.configurationText(),
              "SITE = Soak Station, Comments = simulated devices under faults\n"
              "DEVICE = DI-194RS, PORT = COM1\n"
              "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = D01C1, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 1\n"
              "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = D01C2, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 2\n"
              "CHANNEL = 3, DATATYPE = KORALI-VX, StationID = D01C3, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 5\n"
              "CHANNEL = 4, DATATYPE = KORALI-VX, StationID = D01C4, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 10\n"
              "DEVICE = DI-194RS, PORT = COM2\n"
              "CHANNEL = 1, DATATYPE = KORALI-VX, StationID = D02C1, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 1\n"
              "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = D02C2, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 2\n"
              "CHANNEL = 3, DATATYPE = KORALI-VX, StationID = D02C3, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 5\n"
              "CHANNEL = 4, DATATYPE = KORALI-VX, StationID = D02C4, Frequency = 24.0, "
              "MonitorID = 000001, SampleRate = 10\n");
}

}  // namespace
}  // namespace torven::soak
