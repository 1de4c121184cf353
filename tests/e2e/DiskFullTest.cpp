#include <ctime>
#include <regex>

#include "FaultFixture.h"

namespace torven::test {
namespace {

using DiskFullTest = FaultFixture;

// Every file the program writes may hold 1536 bytes: the console dump and the event log stay
// below that, the data files of the streams below reach it.
constexpr std::uint64_t limitBlocks = 3;
constexpr std::size_t limitBytes = limitBlocks * 512;
// "YYYY-MM-DD hh:mm:ss, +d.ddd" and CR LF.
constexpr std::size_t rowBytes = 29;

const std::string fillsUp = "NR1_000123";    // a header that leaves room for about ten rows
const std::string keepsRoom = "NR2_000123";  // a short header, a row every fifth second
const std::string neverFits = "NR3_000123";  // a header larger than a file may grow

std::string configuration() {
    const std::string site =
        "SITE = Test Ridge, Longitude = -105.27, Latitude = 40.01\n"
        "DEVICE = DI-194RS, PORT = COM1\n";
    const std::string channel =
        ", DATATYPE = KORALI-VX, Frequency = 24.0, MonitorID = 000123, StationID = ";
    return site + "CHANNEL = 1" + channel +
           "NR1, SampleRate = 1, Comments = " + std::string(960, 'c') + "\n" + "CHANNEL = 2" +
           channel + "NR2, SampleRate = 5\n" + "CHANNEL = 3" + channel +
           "NR3, SampleRate = 1, Comments = " + std::string(900, 'c') +
           ", Problems = " + std::string(900, 'p') + "\n";
}

std::string fileOf(const std::vector<std::string>& names, const std::string& id) {
    for (const std::string& name : names) {
        if (name.ends_with("_" + id + ".csv"))
            return name;
    }
    return "";
}

TEST_F(DiskFullTest, AFullFileKeepsItsWholeRowsAndTheOtherStreamsGoOn) {
    plugDevice(1, deviceVolts);
    writeConfig(configuration());
    launcher().limitFileSize(limitBlocks);
    startLaunchedMonitor();

    // The stream whose header does not fit fails at its first row and leaves no file.
    ASSERT_TRUE(streamShows(neverFits, "FILE WRITE ERROR"));
    ASSERT_TRUE(streamShows(fillsUp, "LOGGING"));
    const std::string full = fileOf(dataFiles("tmp"), fillsUp);
    ASSERT_NE(full, "") << joinLines(dataFiles("tmp"));

    // Until its file is full, and after: the Data copy is always the file as of a whole row.
    const auto copyIsWhole = [&] {
        const std::string copy = station_.readFile("Data/" + full);
        const std::string written = station_.readFile("tmp/" + full);
        return copy.empty() || isWholeCopyOf(copy, written);
    };
    ASSERT_TRUE(monitor().waitForScreen(
        [&](const std::vector<std::string>& screen) {
            EXPECT_TRUE(copyIsWhole());
            for (const std::string& row : screen) {
                if (row.find(" " + fillsUp + " ") != std::string::npos)
                    return row.find("FILE WRITE ERROR") != std::string::npos;
            }
            return false;
        },
        screenTimeout, 100ms))
        << monitor().screenText();
    EXPECT_EQ(streamRow(keepsRoom).find("FILE WRITE ERROR"), std::string::npos)
        << streamRow(keepsRoom);

    // The full file stays as it was, row after failed row; the other stream keeps writing.
    const auto other = [&] { return fileOf(dataFiles("tmp"), keepsRoom); };
    const std::size_t otherRows = wholeRows(station_.readFile("tmp/" + other())).size();
    ASSERT_TRUE(eventually(
        [&] { return wholeRows(station_.readFile("tmp/" + other())).size() > otherRows + 1; },
        screenTimeout));
    EXPECT_TRUE(streamShows(fillsUp, "FILE WRITE ERROR"));
    ASSERT_TRUE(eventually(
        [&] { return station_.readFile("Data/" + full) == station_.readFile("tmp/" + full); },
        screenTimeout))
        << "the file in tmp is no copy of the one in Data; the one in tmp: "
        << isWholeDataFile(station_.readFile("tmp/" + full)).message();

    EXPECT_EQ(quit(), 0);
    EXPECT_TRUE(terminalGivenBack());
    expectEverythingHandedOver();

    const std::vector<std::string> handedOver = dataFiles("Data");
    EXPECT_EQ(handedOver.size(), 2u) << joinLines(handedOver);
    EXPECT_EQ(fileOf(handedOver, neverFits), "") << "a file without a row was left";
    const std::string content = station_.readFile("Data/" + full);
    EXPECT_LE(content.size(), limitBytes);
    EXPECT_GT(content.size() + rowBytes, limitBytes) << "the file ended before it was full";
    EXPECT_GE(wholeRows(content).size(), 5u);

    // One WARN for each stream that could not write, however many rows failed.
    const std::vector<std::string> warnings = logMessages("WARN");
    ASSERT_EQ(warnings.size(), 2u) << joinLines(warnings);
    EXPECT_EQ(countOf(warnings, "Can't write file:" + full), 1u) << joinLines(warnings);
    const std::regex neverFitsWarning("Can't write file:\\d{8}_\\d{6}_" + neverFits + "\\.csv");
    EXPECT_TRUE(std::regex_match(warnings[0], neverFitsWarning) ||
                std::regex_match(warnings[1], neverFitsWarning))
        << joinLines(warnings);
}

std::string eventLogName(std::time_t when) {
    std::tm fields{};
    gmtime_r(&when, &fields);
    char name[32];
    std::strftime(name, sizeof name, "%Y_%m_EventLOG.txt", &fields);
    return name;
}

// Whole entries of an event log that leave `room` bytes to the file size limit.
std::string eventLogFilling(std::size_t room) {
    const std::string entryStart = "2011-05-03 18:18:45, INFO, \"";
    const std::string entryEnd = "\"\r\n";
    const std::size_t wanted = limitBytes - room;
    std::string log;
    while (log.size() + 2 * (entryStart.size() + 40 + entryEnd.size()) < wanted)
        log += entryStart + std::string(40, 'e') + entryEnd;
    const std::size_t padding = wanted - log.size() - entryStart.size() - entryEnd.size();
    return log + entryStart + std::string(padding, 'e') + entryEnd;
}

// The event log reaches the limit with an entry that fits only in part: the log keeps whole
// entries, and data collection goes on untouched.
TEST_F(DiskFullTest, AFullEventLogKeepsWholeEntries) {
    plugDevice(1, deviceVolts);
    writeConfig(oneDeviceConfig({1, 1, 0, 0}));
    const std::string logName = "EventLog/" + eventLogName(std::time(nullptr));
    station_.writeFile(logName, eventLogFilling(25));
    launcher().limitFileSize(limitBlocks);
    startLaunchedMonitor();
    ASSERT_TRUE(streamShows("NR1_000123", "LOGGING"));
    ASSERT_TRUE(eventually(
        [&] {
            const auto files = filesIn("tmp");
            return files.size() == 2 && wholeRows(files.begin()->second).size() >= 3;
        },
        screenTimeout));

    EXPECT_EQ(quit(), 0);
    EXPECT_TRUE(terminalGivenBack());
    expectEverythingHandedOver();
    EXPECT_EQ(dataFiles("Data").size(), 2u);
    const std::regex entry(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d, [A-Z]+, ".*")");
    for (const std::string& name : station_.fileNames("EventLog")) {
        std::vector<std::string> lines;
        const std::string content = station_.readFile("EventLog/" + name);
        ASSERT_TRUE(splitCrLfLines(content, lines)) << name << ":\n" << content;
        for (const std::string& line : lines)
            EXPECT_TRUE(std::regex_match(line, entry)) << name << ": " << line;
    }
}

}  // namespace
}  // namespace torven::test
