#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "DataFileWriterFixture.h"
#include "devices/AnalogChannel.h"
#include "support/FakeDevice.h"

namespace torven {
namespace {

using test::DataFileWriterTest;
using test::firstFile;
using test::firstRowTime;
using test::row;
using test::ScratchStation;
using test::ScriptedStream;
using test::utcInstant;
namespace fs = std::filesystem;

std::string inTextMode(const std::string& text) {
    std::string stored;
    for (const char c : text) {
        if (c == '\n')
            stored += '\r';
        stored += c;
    }
    return stored;
}

TEST_F(DataFileWriterTest, FirstRowCreatesTheFileWithHeaderAndRowAndAnIdenticalDataCopy) {
    ScriptedStream& stream = addStream();
    tickAt(firstRowTime);

    const std::string expected =
        std::string(ScriptedStream::storedHeader) + "2011-05-03 18:18:45, +1.234\r\n";
    EXPECT_EQ(station.fileNames("tmp"), std::vector<std::string>{firstFile});
    EXPECT_EQ(station.readFile("tmp/" + firstFile), expected);
    EXPECT_EQ(station.fileNames("Data"), std::vector<std::string>{firstFile});
    EXPECT_EQ(station.readFile("Data/" + firstFile), expected);
    EXPECT_EQ(stream.statusText(), "LOGGING");
    EXPECT_EQ(stream.startTag(), "181845");
}

TEST_F(DataFileWriterTest, RowsFallOnMultiplesOfTheIntervalWithinTheHour) {
    struct Case {
        std::int32_t interval;
        std::int64_t from;
        int ticks;
        std::vector<std::string> rowTimes;
        std::string firstTag;
    };
    const std::vector<Case> cases = {
        {5,
         utcInstant(2011, 5, 3, 18, 0, 0),
         12,
         {"2011-05-03 18:00:00", "2011-05-03 18:00:05", "2011-05-03 18:00:10"},
         "180000"},
        // 3600 is no multiple of 7: the rows start over at second 0 of every hour.
        {7,
         utcInstant(2011, 5, 3, 18, 59, 50),
         19,
         {"2011-05-03 18:59:51", "2011-05-03 18:59:58", "2011-05-03 19:00:00",
          "2011-05-03 19:00:07"},
         "185951"},
        {1,
         utcInstant(2011, 5, 3, 18, 18, 45),
         3,
         {"2011-05-03 18:18:45", "2011-05-03 18:18:46", "2011-05-03 18:18:47"},
         "181845"},
        {3600, utcInstant(2011, 5, 3, 18, 59, 58), 4, {"2011-05-03 19:00:00"}, "190000"},
        {5000, utcInstant(2011, 5, 3, 18, 59, 58), 4, {"2011-05-03 19:00:00"}, "190000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.interval);
        ScratchStation caseStation;
        SiteConfiguration caseSite;
        auto owned = std::make_unique<ScriptedStream>("HT1_123456", c.interval);
        ScriptedStream& stream = *owned;
        caseSite.modeController.dataLogger.addType(std::move(owned));
        stream.setStatus(CollectionStatus::OnLine);

        std::string expected = ScriptedStream::storedHeader;
        for (const std::string& time : c.rowTimes)
            expected += row(time);
        for (int tick = 0; tick < c.ticks; ++tick) {
            caseSite.modeController.clock.setTo(c.from + tick);
            caseSite.modeController.dataLogger.writeTick(caseSite);
        }
        const std::string name = "20110503_" + c.firstTag + "_HT1_123456.csv";
        EXPECT_EQ(caseStation.fileNames("tmp"), std::vector<std::string>{name});
        EXPECT_EQ(caseStation.readFile("tmp/" + name), expected);
        EXPECT_EQ(caseStation.readFile("Data/" + name), expected);
    }
}

TEST_F(DataFileWriterTest, StatusIsLoggingInASecondWithARowAndOnLineInASecondWithout) {
    ScriptedStream& every5 = addStream("A_1", 5);
    ScriptedStream& every1 = addStream("B_2", 1);
    std::vector<std::string> words5;
    std::vector<std::string> words1;
    for (int second = 0; second <= 6; ++second) {
        tickAt(utcInstant(2011, 5, 3, 18, 0, second));
        words5.push_back(every5.statusText());
        words1.push_back(every1.statusText());
    }
    EXPECT_EQ(words5, (std::vector<std::string>{"LOGGING", "ON-LINE", "ON-LINE", "ON-LINE",
                                                "ON-LINE", "LOGGING", "ON-LINE"}));
    EXPECT_EQ(words1, std::vector<std::string>(7, "LOGGING"));
}

TEST_F(DataFileWriterTest, AnIntervalBelowOneWritesNothing) {
    ScriptedStream& zero = addStream("Z_0", 0);
    ScriptedStream& negative = addStream("N_1", -5);
    for (int second = 0; second < 10; ++second)
        tickAt(utcInstant(2011, 5, 3, 18, 0, second));
    EXPECT_TRUE(station.fileNames("tmp").empty());
    EXPECT_TRUE(station.fileNames("Data").empty());
    EXPECT_EQ(zero.statusText(), "ON-LINE");
    EXPECT_EQ(negative.statusText(), "ON-LINE");
}

TEST_F(DataFileWriterTest, TheFirstRowOfANewUtcDayStartsANewFile) {
    addStream();
    tickAt(utcInstant(2011, 5, 3, 23, 59, 55));
    tickAt(utcInstant(2011, 5, 4, 0, 0, 0));
    tickAt(utcInstant(2011, 5, 4, 0, 0, 5));

    const std::string oldDay = "20110503_235955_HT1_123456.csv";
    const std::string newDay = "20110504_000000_HT1_123456.csv";
    const std::string header = ScriptedStream::storedHeader;
    EXPECT_EQ(station.fileNames("tmp"), (std::vector<std::string>{oldDay, newDay}));
    EXPECT_EQ(station.readFile("tmp/" + oldDay), header + row("2011-05-03 23:59:55"));
    EXPECT_EQ(station.readFile("tmp/" + newDay),
              header + row("2011-05-04 00:00:00") + row("2011-05-04 00:00:05"));
    EXPECT_EQ(station.readFile("Data/" + oldDay), station.readFile("tmp/" + oldDay));
    EXPECT_EQ(station.readFile("Data/" + newDay), station.readFile("tmp/" + newDay));
}

TEST_F(DataFileWriterTest, AStreamCreatedLaterInTheDayStartsItsOwnFile) {
    addStream();
    tickAt(firstRowTime);
    // A configuration reload makes every stream anew.
    site.modeController.dataLogger.clear();
    addStream();
    tickAt(firstRowTime + 15);
    EXPECT_EQ(station.fileNames("tmp"),
              (std::vector<std::string>{firstFile, "20110503_181900_HT1_123456.csv"}));
}

TEST_F(DataFileWriterTest, AnExistingFileOfTheSameNameGetsNoSecondHeader) {
    const std::string existing = "# earlier run\r\n" + row("2011-05-03 18:18:40", "+0.500");
    station.writeFile("tmp/" + firstFile, existing);
    addStream();
    tickAt(firstRowTime);
    EXPECT_EQ(station.readFile("tmp/" + firstFile), existing + row("2011-05-03 18:18:45"));
    EXPECT_EQ(station.readFile("Data/" + firstFile), station.readFile("tmp/" + firstFile));
}

TEST_F(DataFileWriterTest, TheDataCopyFollowsEveryRowAndHealsWhenItWasLost) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    for (int tick = 0; tick < 3; ++tick) {
        stream.sample = "+0.00" + std::to_string(tick);
        tickAt(firstRowTime + tick);
        EXPECT_EQ(station.readFile("Data/" + firstFile), station.readFile("tmp/" + firstFile));
    }
    fs::remove(station.path("Data/" + firstFile));
    tickAt(firstRowTime + 3);
    EXPECT_EQ(station.readFile("Data/" + firstFile), station.readFile("tmp/" + firstFile));

    // An outdated copy (a copy that failed earlier) is replaced whole.
    station.writeFile("Data/" + firstFile, ScriptedStream::storedHeader);
    tickAt(firstRowTime + 4);
    EXPECT_EQ(station.readFile("Data/" + firstFile), station.readFile("tmp/" + firstFile));
    EXPECT_EQ(station.fileNames("Data"), std::vector<std::string>{firstFile});
}

TEST_F(DataFileWriterTest, AMissingDataFolderDoesNotStopTheRows) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    fs::remove_all(station.path("Data"));
    tickAt(firstRowTime);
    tickAt(firstRowTime + 1);
    EXPECT_EQ(
        station.readFile("tmp/" + firstFile),
        ScriptedStream::storedHeader + row("2011-05-03 18:18:45") + row("2011-05-03 18:18:46"));
    EXPECT_EQ(stream.statusText(), "LOGGING");
    EXPECT_TRUE(events("WARN").empty());
}

TEST_F(DataFileWriterTest, AMissingTmpFolderWarnsOnceAndTheStreamRecoversWhenItReturns) {
    ScriptedStream& stream = addStream();
    tickAt(utcInstant(2011, 5, 3, 18, 18, 40));
    fs::rename(station.path("tmp"), station.path("tmp.away"));

    tickAt(firstRowTime);
    EXPECT_EQ(stream.statusText(), "FILE WRITE ERROR");
    tickAt(firstRowTime + 1);
    EXPECT_EQ(stream.statusText(), "FILE WRITE ERROR");
    tickAt(firstRowTime + 5);
    tickAt(firstRowTime + 10);
    EXPECT_EQ(stream.statusText(), "FILE WRITE ERROR");
    EXPECT_EQ(events("WARN"),
              std::vector<std::string>{"Can't open file:" + firstFile + " Creating new file"});

    fs::rename(station.path("tmp.away"), station.path("tmp"));
    tickAt(firstRowTime + 15);
    EXPECT_EQ(stream.statusText(), "LOGGING");
    // The retry went on from the name of the last failed row.
    const std::string recovered = "20110503_181855_HT1_123456.csv";
    EXPECT_EQ(station.fileNames("tmp"),
              (std::vector<std::string>{"20110503_181840_HT1_123456.csv", recovered}));
    EXPECT_EQ(station.readFile("tmp/" + recovered),
              ScriptedStream::storedHeader + row("2011-05-03 18:19:00"));
    EXPECT_EQ(events("WARN").size(), 1u);
}

TEST_F(DataFileWriterTest, AStreamWritingEverySecondAlsoReportsAnOpenFailure) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    tickAt(firstRowTime);
    ASSERT_EQ(stream.statusText(), "LOGGING");
    fs::rename(station.path("tmp"), station.path("tmp.away"));
    tickAt(firstRowTime + 1);
    tickAt(firstRowTime + 2);
    EXPECT_EQ(stream.statusText(), "FILE WRITE ERROR");
    EXPECT_EQ(events("WARN"),
              std::vector<std::string>{
                  "Can't open file:20110503_181846_HT1_123456.csv Creating new file"});
}

TEST_F(DataFileWriterTest, RowsWrittenAndRowsThatFailedAreCountedAndGoOnAfterAReload) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    tickAt(firstRowTime);
    tickAt(firstRowTime + 1);
    fs::rename(station.path("tmp"), station.path("tmp.away"));
    tickAt(firstRowTime + 2);
    tickAt(firstRowTime + 3);
    fs::rename(station.path("tmp.away"), station.path("tmp"));
    tickAt(firstRowTime + 4);
    EXPECT_EQ(stream.rowsWritten(), 3u);
    EXPECT_EQ(stream.fileWriteErrors(), 2u) << "every failed row counts, not only the first";

    ScriptedStream continued("HT1_123456", 1);
    continued.continueFrom(stream);
    EXPECT_EQ(continued.rowsWritten(), 3u);
    EXPECT_EQ(continued.fileWriteErrors(), 2u);
}

TEST_F(DataFileWriterTest, ALostConnectionIsLoggedOncePerLoss) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    const std::vector<bool> online = {true, false, false, false, true, true, false, false};
    std::vector<std::string> words;
    for (std::size_t tick = 0; tick < online.size(); ++tick) {
        stream.online = online[tick];
        // The device poll marks a silent device's streams before the writer runs.
        if (!stream.online)
            stream.setStatus(CollectionStatus::ComLinkOff);
        tickAt(firstRowTime + static_cast<std::int64_t>(tick));
        words.push_back(stream.statusText());
    }
    EXPECT_EQ(events("INFO"),
              std::vector<std::string>(2, "Data collection: Lost connection for HT1_123456"));
    EXPECT_EQ(words[1], "COM LINK OFF");
    EXPECT_EQ(words[4], "LOGGING");
    EXPECT_EQ(station.readFile("tmp/" + firstFile),
              ScriptedStream::storedHeader + row("2011-05-03 18:18:45") +
                  row("2011-05-03 18:18:49") + row("2011-05-03 18:18:50"));
}

TEST_F(DataFileWriterTest, AStreamOnLineWithoutAValueBecomesComLinkOff) {
    ScriptedStream& stream = addStream();
    stream.online = false;
    tickAt(firstRowTime);
    EXPECT_EQ(stream.statusText(), "COM LINK OFF");
    EXPECT_TRUE(station.fileNames("tmp").empty());
    EXPECT_EQ(events("INFO").size(), 1u);
}

// A stream's file that leaves tmp (a hand-over, another program, a deletion) is never begun
// again under its name, so its complete copies elsewhere are never replaced by a short file.
TEST_F(DataFileWriterTest, AFileThatLeftTmpIsNeverWrittenAgain) {
    addStream("HT1_123456", 1);
    tickAt(firstRowTime);
    tickAt(firstRowTime + 1);
    const std::string complete = station.readFile("tmp/" + firstFile);
    fs::rename(station.path("tmp/" + firstFile), station.path("ToSend/" + firstFile));
    tickAt(firstRowTime + 2);

    const std::string next = "20110503_181847_HT1_123456.csv";
    EXPECT_EQ(station.fileNames("tmp"), std::vector<std::string>{next});
    EXPECT_EQ(station.readFile("tmp/" + next),
              ScriptedStream::storedHeader + row("2011-05-03 18:18:47"));
    EXPECT_EQ(station.readFile("Data/" + firstFile), complete);
    EXPECT_EQ(station.readFile("ToSend/" + firstFile), complete);
}

// A configuration load builds the streams anew: they go on after the last row of the stream
// with their ID, and a stream not yet linked to its device has lost nothing.
TEST_F(DataFileWriterTest, AStreamBuiltAnewByALoadGoesOnAfterTheLastRowAndLogsNoLoss) {
    addStream("HT1_123456", 1);
    tickAt(firstRowTime);
    site.modeController.dataLogger.clear();
    ScriptedStream& rebuilt = addStream("HT1_123456", 1);
    tickAt(firstRowTime);
    EXPECT_EQ(station.readFile("tmp/" + firstFile),
              ScriptedStream::storedHeader + row("2011-05-03 18:18:45"));

    rebuilt.setStatus(CollectionStatus::OffLine);
    rebuilt.online = false;
    tickAt(firstRowTime + 1);
    EXPECT_EQ(rebuilt.statusText(), "OFF-LINE");
    EXPECT_TRUE(events("INFO").empty());
}

TEST_F(DataFileWriterTest, ANewStreamThatCannotOpenItsFileShowsTheErrorAndWarnsOnce) {
    ScriptedStream& stream = addStream("HT1_123456", 1);
    stream.setStatus(CollectionStatus::OffLine);
    fs::remove_all(station.path("tmp"));
    tickAt(firstRowTime);
    tickAt(firstRowTime + 1);
    EXPECT_EQ(stream.statusText(), "FILE WRITE ERROR");
    EXPECT_EQ(events("WARN"),
              std::vector<std::string>{"Can't open file:" + firstFile + " Creating new file"});
}

class KoraliVxWriterTest : public DataFileWriterTest {
  protected:
    DataCollectionType& addKoraliVx(const std::vector<MetaDataEntry>& items) {
        DataCollectionType* stream = site.modeController.dataLogger.createType("KORALI-VX");
        EXPECT_NE(stream, nullptr);
        stream->registerKeywords();
        stream->readSampleRate();
        EXPECT_TRUE(stream->bindChannel(device, 1));
        std::string message;
        for (const MetaDataEntry& item : items)
            EXPECT_TRUE(stream->metaData().setValue(item, message));
        stream->buildId();
        stream->readSampleRate();
        stream->setStatus(CollectionStatus::OnLine);
        return *stream;
    }

    test::FakeDevice device;
};

TEST_F(KoraliVxWriterTest, FirstRowOfARealStreamHoldsItsHeaderAndValue) {
    DataCollectionType& stream =
        addKoraliVx({{"StationID", "HT1"}, {"MonitorID", "123456789"}, {"SampleRate", "5"}});
    device.analogChannel(1).setReading(1.234);
    tickAt(firstRowTime);
    // The header names the time the file was started.
    const std::string header = inTextMode(stream.headerText(site));
    EXPECT_NE(header.find("# UTC_StartTime = 2011-05-03 18:18:45\r\n"), std::string::npos);
    device.analogChannel(1).setReading(-0.02);
    tickAt(firstRowTime + 5);

    const std::string expected =
        header + row("2011-05-03 18:18:45") + row("2011-05-03 18:18:50", "-0.020");
    EXPECT_EQ(station.readFile("tmp/" + firstFile), expected);
    EXPECT_EQ(station.readFile("Data/" + firstFile), expected);
}

TEST_F(KoraliVxWriterTest, WithoutSampleRateNoRowIsWritten) {
    DataCollectionType& stream = addKoraliVx({{"StationID", "HT1"}, {"MonitorID", "123456"}});
    device.analogChannel(1).setReading(1.0);
    for (int second = 0; second < 5; ++second)
        tickAt(firstRowTime + second);
    EXPECT_TRUE(station.fileNames("tmp").empty());
    EXPECT_EQ(stream.statusText(), "ON-LINE");
}

TEST_F(KoraliVxWriterTest, AChannelWithoutAReadingIsALostConnection) {
    DataCollectionType& stream =
        addKoraliVx({{"StationID", "HT1"}, {"MonitorID", "123456789"}, {"SampleRate", "1"}});
    tickAt(firstRowTime);
    EXPECT_EQ(stream.statusText(), "COM LINK OFF");
    EXPECT_EQ(events("INFO"),
              std::vector<std::string>{"Data collection: Lost connection for HT1_123456"});
    EXPECT_TRUE(station.fileNames("tmp").empty());
}

}  // namespace
}  // namespace torven
