#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "remote/PlotCache.h"
#include "remote/TodayRows.h"
#include "support/ScratchStation.h"
#include "support/UtcInstant.h"

namespace torven {
namespace {

using test::ScratchStation;
namespace fs = std::filesystem;

const std::string tmp = "..\\tmp\\";
const std::string data = "..\\Data\\";
const std::string header = "# Site = North Ridge\r\n#\r\n\r\n";
const std::string first = "20110504_000000_HT1.csv";
const std::string second = "20110504_061500_HT1.csv";
const std::int64_t noon = test::utcInstant(2011, 5, 4, 12, 0, 0);

std::string row(const std::string& time, const std::string& value, const char* end = "\r\n") {
    return "2011-05-04 " + time + ", " + value + end;
}

StreamSnapshot streamWriting(const std::string& fileName, const std::string& id = "HT1") {
    StreamSnapshot stream;
    stream.id = id;
    stream.currentFileName = fileName;
    return stream;
}

class TodayRowsTest : public ::testing::Test {
  protected:
    void append(const std::string& relative, const std::string& content) const {
        std::ofstream(station.path(relative), std::ios::binary | std::ios::app) << content;
    }
    const DayBins& update(const std::string& currentFile, std::int64_t now = noon) {
        rows.update(tmp, data, streamWriting(currentFile), now);
        return rows.bins();
    }

    ScratchStation station;
    TodayRows rows;
};

TEST_F(TodayRowsTest, ALineCountsOnlyOnceItIsComplete) {
    station.writeFile("tmp/" + first, header + row("00:00:01", "+1.000") + "2011-05-04 00:0");
    EXPECT_EQ(update(first).rows, 1U);
    append("tmp/" + first, "3:00, +2.000\n");
    const DayBins& day = update(first);
    EXPECT_EQ(day.rows, 2U);
    EXPECT_EQ(day.bins[1].count, 1U);
    EXPECT_EQ(day.bins[1].last, 2.0);
}

TEST_F(TodayRowsTest, RowsAddedBetweenUpdatesAreBinnedByTimeOfDay) {
    station.writeFile("tmp/" + first, header + row("00:00:00", "+1.000"));
    update(first);
    append("tmp/" + first, row("00:01:00", "+5.000", "\n") + row("00:02:59", "-0.500"));
    append("tmp/" + first, row("23:59:59", "+7.250"));
    const DayBins& day = update(first);
    EXPECT_EQ(day.rows, 4U);
    EXPECT_EQ(day.bins[0].count, 3U);
    EXPECT_EQ(day.bins[0].min, -0.5);
    EXPECT_EQ(day.bins[0].max, 5.0);
    EXPECT_EQ(day.bins[0].last, -0.5);
    EXPECT_EQ(day.bins[DayBins::binCount - 1].last, 7.25);
}

TEST_F(TodayRowsTest, AFileCutBackIsReadAgain) {
    station.writeFile("tmp/" + first, header + row("01:00:00", "+1.0") + row("01:00:01", "+2.0"));
    EXPECT_EQ(update(first).rows, 2U);
    station.writeFile("tmp/" + first, header + row("02:00:00", "+3.0"));
    const DayBins& day = update(first);
    EXPECT_EQ(day.rows, 1U);
    EXPECT_EQ(day.bins[40].last, 3.0);
}

TEST_F(TodayRowsTest, ANewDayStartsAfreshWithItsOwnFiles) {
    station.writeFile("tmp/" + first,
                      header + row("23:59:59", "+1.0") + "2011-05-05 00:00:00, +2.0\r\n");
    EXPECT_EQ(update(first).rows, 1U);
    const std::string nextDay = "20110505_000000_HT1.csv";
    station.writeFile("tmp/" + nextDay, header + "2011-05-05 00:00:01, +3.0\r\n");
    const DayBins& day = update(nextDay, noon + 86400);
    EXPECT_EQ(day.day, noon / 86400 + 1);
    // The file of the day before is not read again.
    EXPECT_EQ(day.rows, 1U);
    EXPECT_EQ(day.bins[0].last, 3.0);
}

TEST_F(TodayRowsTest, EarlierFilesOfTheDayAreReadOnceEachPreferringTmp) {
    station.writeFile("Data/20110503_120000_HT1.csv", header + row("01:00:00", "+9.0"));
    station.writeFile("Data/" + first, header + row("00:00:00", "+1.0"));
    // A file in both folders: the copy in Data may lag a row behind.
    station.writeFile("Data/20110504_030000_HT1.csv", header + row("03:00:00", "+2.0"));
    station.writeFile("tmp/20110504_030000_HT1.csv",
                      header + row("03:00:00", "+2.0") + row("03:00:01", "+2.5"));
    // Other streams and names that only look alike.
    station.writeFile("tmp/20110504_040000_XHT1.csv", header + row("04:00:00", "+9.0"));
    station.writeFile("tmp/20110504_040000_X_HT1.csv", header + row("04:00:00", "+9.0"));
    station.writeFile("tmp/20110504_04000x_HT1.csv", header + row("04:00:00", "+9.0"));
    station.writeFile("tmp/" + second, header + row("06:15:00", "+3.0"));
    const DayBins& day = update(second);
    EXPECT_EQ(day.rows, 4U);
    EXPECT_EQ(day.bins[0].last, 1.0);
    EXPECT_EQ(day.bins[60].last, 2.5);
    EXPECT_EQ(day.bins[125].last, 3.0);
}

TEST_F(TodayRowsTest, APreviousFileIsFinishedWhereverItWentFirst) {
    station.writeFile("tmp/" + first, header + row("00:00:00", "+1.0"));
    update(first);
    append("tmp/" + first, row("00:00:01", "+2.0"));
    fs::rename(station.path("tmp/" + first), station.path("Data/" + first));
    station.writeFile("tmp/" + second, header + row("06:15:00", "+3.0"));
    const DayBins& day = update(second);
    EXPECT_EQ(day.rows, 3U);
    EXPECT_EQ(day.bins[0].last, 2.0);
}

TEST_F(TodayRowsTest, LinesThatAreNoRowsArePassedOver) {
    // Made apart from the list: g++ 12 for MinGW at -O2 reports a false -Warray-bounds for a
    // string built by + inside it.
    std::string longLine(100000, 'x');
    longLine += '\n';
    const std::vector<std::string> garbage = {
        row("00:00:00", "--N/A-"),
        row("24:00:00", "+1.0"),
        row("00:60:00", "+1.0"),
        "2011-02-30 00:00:00, +1.0\r\n",
        "2011-05-04 00:00:00 +1.0\r\n",
        row("00:00:00", "1.0x"),
        row("00:00:00", "nan"),
        row("00:00:00", "inf"),
        row("00:00:00", "1e999"),
        row("00:00:00", ""),
        "2011-05-04T00:00:00, +1.0\r\n",
        "2011-05-04 00:00:00\r\n",
        std::string("\0\xff\x80,\r", 5) + "\n",
        longLine,
        "\r\n",
    };
    std::string content = header;
    for (const std::string& line : garbage)
        content += line;
    station.writeFile("tmp/" + first, content + row("00:00:02", "+4.0", "\n") + "#\n");
    const DayBins& day = update(first);
    EXPECT_EQ(day.rows, 1U);
    EXPECT_EQ(day.bins[0].last, 4.0);
}

TEST_F(TodayRowsTest, NoFileYetMeansNoRows) {
    EXPECT_EQ(update("").rows, 0U);
    EXPECT_EQ(update(first).rows, 0U);
    station.writeFile("tmp/" + first, header + row("00:00:00", "+1.0"));
    EXPECT_EQ(update(first).rows, 1U);
}

TEST(PlotCacheTest, KeepsTheConfiguredStreamsOnlyAndServesThreadsAtOnce) {
    ScratchStation station;
    station.writeFile("tmp/" + first, header + row("00:00:00", "+1.0"));
    station.writeFile("tmp/20110504_000000_HT2.csv", header + row("00:00:00", "+2.0"));
    StatusSnapshot snapshot;
    snapshot.devices.resize(1);
    snapshot.devices[0].channels = {{1, 1.0, "+1.000", streamWriting(first)},
                                    {2, std::nullopt, "", std::nullopt},
                                    {3, 2.0, "+2.000", streamWriting("", "HT2")}};
    PlotCache cache(tmp, data);
    std::vector<DayPlots> results(4);
    std::vector<std::thread> threads;
    for (DayPlots& result : results)
        threads.emplace_back([&] { result = cache.update(snapshot, noon); });
    for (std::thread& thread : threads)
        thread.join();
    for (const DayPlots& plots : results) {
        ASSERT_EQ(plots.size(), 2U);
        EXPECT_EQ(plots.at("HT1").bins[0].last, 1.0);
        EXPECT_EQ(plots.at("HT2").rows, 1U);
    }
    snapshot.devices[0].channels.pop_back();
    EXPECT_FALSE(cache.update(snapshot, noon).contains("HT2"));
}

}  // namespace
}  // namespace torven
