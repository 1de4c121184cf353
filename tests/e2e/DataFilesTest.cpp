#include <regex>
#include <set>
#include <sstream>

#include "MonitorFixture.h"

namespace torven::test {
namespace {

using DataFilesTest = MonitorFixture;

const std::string siteHeader =
    "# Site = Test Ridge\n"
    "# Longitude = -105.27\n"
    "# Latitude = 40.01\n"
    "# Comments = roof mast\n"
    "#\n"
    "# UTC_Offset = -05:00\n"
    "# TimeZone = XST\n"
    "#\n";

// A file of an earlier day that an earlier run left in tmp.
const std::string oldFile = "20110503_181845_OLD_000001.csv";
const std::string oldContent = "# Site = Old\r\n2011-05-03 18:18:45, +1.234\r\n";

struct Stream {
    std::string id;
    std::string stationLines;  // the header lines of the stream's own metadata
    std::string value;
    int rate = 0;
};

const Stream everySecond{"A1_000123",
                         "# StationID = A1\n# Frequency = 24.0\n# MonitorID = 000123456\n"
                         "# SampleRate = 1\n# Contact = J. Doe\n",
                         "+2.500", 1};
const Stream everyFifthSecond{"B2_000777",
                              "# StationID = B2\n# Frequency = 25.2\n# MonitorID = 000777\n"
                              "# SampleRate = 5\n",
                              "-3.750", 5};

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        result.push_back(line);
    return result;
}

std::size_t rowCount(const std::string& content) {
    std::size_t rows = 0;
    for (std::size_t start = 0; (start = content.find("\n20", start)) != std::string::npos;) {
        ++rows;
        ++start;
    }
    return rows;
}

std::string fileOf(const std::vector<std::string>& names, const std::string& id) {
    for (const std::string& name : names) {
        if (name.ends_with("_" + id + ".csv"))
            return name;
    }
    return "";
}

std::string startTagName(std::time_t start, const std::string& id) {
    std::tm fields{};
    gmtime_r(&start, &fields);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d_%H%M%S", &fields);
    return text + ("_" + id + ".csv");
}

// Checks a finished data file: its name, its header, and rows at due seconds with the
// simulator's value. The times of the rows go into rowTimes.
void checkDataFile(const std::string& name, const std::string& content, const Stream& stream,
                   std::vector<std::time_t>& rowTimes) {
    std::vector<std::string> fileLines;
    ASSERT_TRUE(splitCrLfLines(content, fileLines)) << name;
    const std::vector<std::string> header = lines(siteHeader);
    const std::vector<std::string> own = lines(stream.stationLines);
    ASSERT_GT(fileLines.size(), header.size() + 1 + own.size()) << content;

    const std::regex row("(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d), " +
                         std::regex_replace(stream.value, std::regex("\\+"), "\\+"));
    const std::size_t firstRow = header.size() + 1 + own.size();
    for (std::size_t i = firstRow; i < fileLines.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(fileLines[i], match, row)) << name << ": " << fileLines[i];
        const auto when = parseDateTime(match[1]);
        ASSERT_TRUE(when);
        rowTimes.push_back(*when);
    }

    const std::string firstRowTime = fileLines[firstRow].substr(0, 19);
    std::vector<std::string> expectedHeader = header;
    expectedHeader.push_back("# UTC_StartTime = " + firstRowTime);
    expectedHeader.insert(expectedHeader.end(), own.begin(), own.end());
    EXPECT_EQ(std::vector<std::string>(fileLines.begin(), fileLines.begin() + firstRow),
              expectedHeader)
        << name;
    EXPECT_EQ(name, startTagName(rowTimes.front(), stream.id));

    for (std::size_t i = 1; i < rowTimes.size(); ++i) {
        EXPECT_LT(rowTimes[i - 1], rowTimes[i]) << name << " row " << i;
    }
    for (const std::time_t when : rowTimes) {
        EXPECT_EQ(when % stream.rate, 0) << name << ": a row at a second that is not due";
    }
}

TEST_F(DataFilesTest, WritesHeadersAndDueRowsAndHandsFilesOver) {
    plugDevice(1, deviceVolts);
    writeConfig(
        "SITE = Test Ridge, Longitude = -105.27, Latitude = 40.01, Comments = roof mast\n"
        "DEVICE = DI-194RS, PORT = COM1\n"
        "CHANNEL = 1, DATATYPE = KORALI-VX, Contact = J. Doe, StationID = A1, Frequency = 24.0, "
        "MonitorID = 000123456, SampleRate = 1\n"
        "CHANNEL = 2, DATATYPE = KORALI-VX, StationID = B2, Frequency = 25.2, "
        "MonitorID = 000777, SampleRate = 5\n");
    station_.writeFile("tmp/" + oldFile, oldContent);
    station_.writeFile("Data/" + oldFile, "a stale running copy\r\n");
    station_.writeFile("tmp/notes.txt", "not a data file\r\n");
    startMonitor("XST5");

    ASSERT_TRUE(statusScreenShows("DATALOG", {}));
    ASSERT_TRUE(rowShows(
        9, channelRow(deviceField("COM1"), 1, everySecond.id, everySecond.value, "LOGGING", 1)));
    EXPECT_TRUE(rowShows(11, channelRow("", 3, "", "+0.000", "N/A", 0, "Unassigned")));
    // The stream of every fifth second is LOGGING in a second with a row, else ON-LINE.
    std::set<std::string> statuses;
    EXPECT_TRUE(monitor().waitForScreen(
        [&](const std::vector<std::string>& screen) {
            for (const char* status : {"LOGGING", "ON-LINE"}) {
                if (screen[10] == channelRow(onLineField("COM1"), 2, everyFifthSecond.id,
                                             everyFifthSecond.value, status, 5)) {
                    statuses.insert(status);
                }
            }
            return statuses.size() == 2;
        },
        screenTimeout))
        << monitor().screenText();
    const auto clock = shownClock();
    ASSERT_TRUE(clock) << "the screen shows UTC, whatever the local zone";
    EXPECT_GE(*clock, testStart_);
    EXPECT_LE(*clock, std::time(nullptr));

    // The earlier day's file is handed over at the next quarter minute; today's stay. The file
    // leaves tmp under its own name when it is marked as sent, and its marker once it is in Data.
    ASSERT_TRUE(eventually(
        [&] {
            return !station_.exists("tmp/" + oldFile) &&
                   !station_.exists("tmp/." + oldFile + ".sent");
        },
        screenTimeout));
    EXPECT_EQ(station_.readFile("Data/" + oldFile), oldContent);
    EXPECT_EQ(station_.readFile("ToSend/" + oldFile), oldContent);
    EXPECT_EQ(dataFiles("ToSend"), std::vector<std::string>{oldFile});
    const std::vector<std::string> running = dataFiles("tmp");
    ASSERT_EQ(running.size(), 2u);
    const std::string fileA = fileOf(running, everySecond.id);
    ASSERT_NE(fileA, "");

    // About twenty seconds of rows; the Data copy is always the file as of a whole row.
    ASSERT_TRUE(eventually(
        [&] {
            const std::string copy = station_.readFile("Data/" + fileA);
            const std::string written = station_.readFile("tmp/" + fileA);
            EXPECT_TRUE(written.starts_with(copy)) << "Data copy is no earlier state of the file";
            EXPECT_TRUE(copy.empty() || copy.ends_with("\r\n")) << "Data copy ends mid-row";
            return rowCount(written) >= 20;
        },
        120s, 500ms));

    EXPECT_EQ(quit(), 0);
    EXPECT_EQ(station_.fileNames("tmp"), (std::vector<std::string>{"Console.txt", "notes.txt"}));
    const std::vector<std::string> handedOver = dataFiles("Data");
    EXPECT_EQ(dataFiles("ToSend"), handedOver);
    ASSERT_EQ(handedOver.size(), 3u);
    for (const std::string& name : handedOver) {
        EXPECT_EQ(station_.readFile("ToSend/" + name), station_.readFile("Data/" + name)) << name;
    }

    std::vector<std::time_t> secondRows;
    checkDataFile(fileA, station_.readFile("Data/" + fileA), everySecond, secondRows);
    ASSERT_GE(secondRows.size(), 20u);
    EXPECT_GE(secondRows.front(), testStart_);
    EXPECT_LE(secondRows.back(), std::time(nullptr));
    // Rows are not caught up for seconds without a pass, but passes come about four times a
    // second: most seconds have their row.
    EXPECT_GE(2 * secondRows.size(),
              static_cast<std::size_t>(secondRows.back() - secondRows.front()));

    const std::string fileB = fileOf(handedOver, everyFifthSecond.id);
    ASSERT_NE(fileB, "");
    std::vector<std::time_t> fifthRows;
    checkDataFile(fileB, station_.readFile("Data/" + fileB), everyFifthSecond, fifthRows);
    EXPECT_GE(fifthRows.size(), 3u);

    EXPECT_TRUE(logMessages("WARN").empty());
    const auto firstEntry = parseDateTime(station_.eventLogLines().front().substr(0, 19));
    ASSERT_TRUE(firstEntry);
    EXPECT_GE(*firstEntry, testStart_) << "the event log is kept in UTC";
    EXPECT_LE(*firstEntry, std::time(nullptr));
}

}  // namespace
}  // namespace torven::test
