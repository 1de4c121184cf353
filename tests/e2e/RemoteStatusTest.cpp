#include <csignal>
#include <set>

#include "RemoteStatusFixture.h"
#include "support/BrowserProbe.h"
#include "support/LoopbackListener.h"
#include "support/ProgramRun.h"
#include "support/PseudoTerminal.h"

namespace torven::test {
namespace {

const std::string streamOne = "NR1_000123";
const std::string streamTwo = "NR2_000123";
const std::string absentStream = "NR5_000123";  // its device is never plugged in
const std::vector<std::string> allStreams{streamOne, streamTwo, absentStream};
const std::vector<std::string> logLevels{"CONF", "INFO", "WARN", "ERROR", "FATAL"};

// Two streams with a row every second on COM1 (channels 3 and 4 unassigned), and one on
// COM2, where no device ever answers.
std::string twoDeviceConfig() {
    return "SITE = Test Ridge, Longitude = -105.27, Latitude = 40.01\n"
           "DEVICE = DI-194RS, PORT = COM1\n" +
           koraliChannelLine(1, "NR1", 1) + koraliChannelLine(2, "NR2", 1) +
           "DEVICE = DI-194RS, PORT = COM2\n" + koraliChannelLine(1, "NR5", 1);
}

std::vector<std::string> idsOf(const std::vector<StreamView>& streams) {
    std::vector<std::string> ids;
    for (const StreamView& stream : streams)
        ids.push_back(stream.id);
    return ids;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// "2024-05-01T12:00:03Z" as "2024-05-01 12:00:03", the form of the data rows.
std::string rowTimeOf(std::string isoTime) {
    if (isoTime.size() == 20 && isoTime[10] == 'T' && isoTime.back() == 'Z') {
        isoTime[10] = ' ';
        isoTime.pop_back();
    }
    return isoTime;
}

class RemoteStatusTest : public RemoteStatusFixture {
  protected:
    // The rows of each stream in tmp now: how many, and the time of the last ("" for none).
    std::map<std::string, std::pair<std::size_t, std::string>> rowsNow() const {
        std::map<std::string, std::pair<std::size_t, std::string>> rows;
        for (const std::string& id : allStreams)
            rows[id] = {0, ""};
        for (const std::string& name : dataFiles("tmp")) {
            const std::vector<std::string> fileRows = wholeRows(station_.readFile("tmp/" + name));
            for (const std::string& id : allStreams) {
                if (name.ends_with("_" + id + ".csv") && !fileRows.empty()) {
                    rows[id].first += fileRows.size();
                    rows[id].second = std::max(rows[id].second, fileRows.back().substr(0, 19));
                }
            }
        }
        return rows;
    }
    std::map<std::string, std::size_t> logLinesNow() const {
        std::map<std::string, std::size_t> lines;
        for (const std::string& level : logLevels)
            lines[level] = logMessages(level).size();
        return lines;
    }
};

// The three answers tell what the screen shows and what the files hold: the streams with their
// values and status words, the rows written, the site, the mode; the metrics pass promtool's
// check and the JSON a JSON parser; a browser builds the page with every stream and one plot
// for each stream with rows today. Control-C ends the program and the service with it.
TEST_F(RemoteStatusTest, AnswersAgreeWithTheScreenTheFilesAndABrowser) {
    plugDevice(1, deviceVolts);
    writeConfig(twoDeviceConfig());
    startServing();
    ASSERT_TRUE(screenShows("Current Mode: DATALOG"));
    ASSERT_TRUE(eventually([&] { return rowsInTmp(streamOne) >= 3 && rowsInTmp(streamTwo) >= 3; },
                           screenTimeout));
    const std::vector<StreamView> shown = screenStreams(monitor().capture());
    ASSERT_EQ(idsOf(shown), allStreams) << monitor().screenText();
    EXPECT_EQ(shown[0].value, shownValues[0]);
    EXPECT_EQ(shown[1].value, shownValues[1]);

    EXPECT_TRUE(agreesWithScreen(
        "/metrics", [&] { return metricStreams(parseMetrics(http().get("/metrics").body)); }));
    EXPECT_TRUE(agreesWithScreen("/status.json", [&] {
        StatusFacts facts;
        EXPECT_TRUE(readStatusJson(http().get("/status.json").body, facts));
        return facts.streams;
    }));
    EXPECT_TRUE(agreesWithScreen("/", [&] { return pageStreams(http().get("/").body); }));

    // An answer's counts lie between the rows (event log lines) on disk just before and just
    // after it, and equal them when none came in between.
    std::set<std::string> exact;
    HttpAnswer metrics;
    StatusFacts facts;
    for (int attempt = 0; attempt < 30 && exact.size() < allStreams.size() + 1; ++attempt) {
        const auto rowsBefore = rowsNow();
        const auto linesBefore = logLinesNow();
        metrics = http().get("/metrics");
        const HttpAnswer json = http().get("/status.json");
        const auto rowsAfter = rowsNow();
        const auto linesAfter = logLinesNow();
        ASSERT_TRUE(readStatusJson(json.body, facts));
        const std::vector<MetricSample> samples = parseMetrics(metrics.body);
        for (const std::string& id : allStreams) {
            const auto counted =
                metricValue(samples, "torven_stream_rows_written_total", {{"stream", id}});
            ASSERT_TRUE(counted) << metrics.body;
            const std::size_t rows = std::stoull(*counted);
            const auto& [countBefore, last] = rowsBefore.at(id);
            EXPECT_GE(rows, countBefore) << id;
            EXPECT_LE(rows, rowsAfter.at(id).first) << id;
            EXPECT_GE(facts.rowsWritten[id], countBefore) << id;
            EXPECT_LE(facts.rowsWritten[id], rowsAfter.at(id).first) << id;
            if (countBefore != rowsAfter.at(id).first)
                continue;
            exact.insert(id);
            EXPECT_EQ(rows, countBefore) << id;
            EXPECT_EQ(facts.rowsWritten[id], countBefore) << id;
            const auto lastStamp =
                metricValue(samples, "torven_stream_last_row_timestamp_seconds", {{"stream", id}});
            EXPECT_EQ(rowTimeOf(facts.lastRowTime[id]), last.empty() ? "null" : last) << id;
            EXPECT_EQ(lastStamp,
                      last.empty() ? std::nullopt
                                   : std::optional(std::to_string(parseDateTime(last).value_or(0))))
                << id;
        }
        if (HasFailure())
            break;
        if (linesBefore != linesAfter)
            continue;
        exact.insert("event log");
        for (const std::string& level : logLevels) {
            EXPECT_EQ(metricValue(samples, "torven_event_log_lines_total", {{"level", level}}),
                      std::to_string(linesBefore.at(level)))
                << level;
        }
    }
    EXPECT_EQ(exact.size(), allStreams.size() + 1) << "no quiet moment to compare counts in";
    EXPECT_GT(facts.rowsWritten[streamOne], 0u);
    EXPECT_EQ(facts.rowsWritten[absentStream], 0u);

    EXPECT_TRUE(promtoolAccepts(metrics.body));
    EXPECT_EQ(metrics.header("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
    const std::vector<MetricSample> samples = parseMetrics(metrics.body);
    for (const char* mode : {"INITIALIZE", "DATALOG", "CALIBRATE", "STOPPED"}) {
        EXPECT_EQ(metricValue(samples, "torven_mode", {{"mode", mode}}),
                  std::string(mode) == "DATALOG" ? "1" : "0")
            << mode;
    }
    EXPECT_EQ(metricValue(samples, "torven_configuration_error"), "0");
    EXPECT_EQ(metricValue(samples, "torven_device_connected", {{"port", "COM1"}}), "1");
    EXPECT_EQ(metricValue(samples, "torven_device_connected", {{"port", "COM2"}}), "0");
    EXPECT_EQ(metricValue(samples, "torven_build_info", {{"version", "0.40"}}), "1");
    const auto started = metricValue(samples, "torven_start_time_seconds");
    ASSERT_TRUE(started);
    EXPECT_GE(std::stoll(*started), testStart_);
    EXPECT_LE(std::stoll(*started), std::time(nullptr));

    const std::vector<std::string> screen = monitor().capture();
    EXPECT_EQ(screen[3], screenRow("Monitor Site: " + facts.site));
    EXPECT_EQ(facts.site, "Test Ridge");
    EXPECT_EQ(facts.mode, "DATALOG");
    const auto passTime = parseDateTime(rowTimeOf(facts.time));
    ASSERT_TRUE(passTime) << facts.time;
    EXPECT_GE(*passTime, testStart_);
    EXPECT_LE(*passTime, std::time(nullptr));

    // The page as a browser builds it.
    const std::vector<StreamView> before = screenStreams(monitor().capture());
    const ProgramRun browser = BrowserProbe(station_.path("browser")).dumpDom(http().url("/"));
    const std::vector<StreamView> after = screenStreams(monitor().capture());
    ASSERT_EQ(browser.status, 0) << browser.errorText;
    const std::vector<StreamView> built = pageStreams(browser.output);
    EXPECT_TRUE(built == before || built == after) << browser.output;
    EXPECT_EQ(idsOf(built), allStreams);
    EXPECT_EQ(occurrences(browser.output, "<dd class=\"site\">Test Ridge</dd>"), 1u);
    EXPECT_EQ(occurrences(browser.output, "<svg class=\"plot\""), 2u) << browser.output;
    for (const std::string& id : {streamOne, streamTwo}) {
        EXPECT_EQ(occurrences(browser.output, "<svg class=\"plot\" data-stream=\"" + id + "\""), 1u)
            << id;
    }
    EXPECT_EQ(occurrences(browser.output, "<p class=\"no-rows\" data-stream=\"" + absentStream +
                                              "\">No rows today</p>"),
              1u);

    monitor().signal(SIGINT);
    EXPECT_EQ(waitForExit(), 255);
    EXPECT_EQ(http().get("/metrics").status, 0) << "the service ends with the program";
    EXPECT_TRUE(LoopbackListener::isFree(port_));
}

// Without the token every path is refused, whatever else the request says; with it the three
// answers come, other methods are refused and requests too large for the server are turned
// away before anyone reads them. None of it keeps the program from writing its rows.
TEST_F(RemoteStatusTest, TheTokenGuardsEveryPathAndRefusedRequestsCostNoRows) {
    const std::string token = "k9-Quartz-7731";
    station_.writeFile("Conf/remote-token.txt", token + "\nnot part of the token\n");
    plugDevice(1, deviceVolts);
    writeConfig(twoDeviceConfig());
    startServing({"--http-token-file", station_.path("Conf/remote-token.txt").string()});
    ASSERT_TRUE(screenShows("Current Mode: DATALOG"));
    ASSERT_TRUE(eventually([&] { return rowsInTmp(streamOne) >= 1; }, screenTimeout));
    const std::size_t rowsAtStart = rowsInTmp(streamOne);

    const std::string right = "Authorization: Bearer " + token;
    const std::vector<std::vector<std::string>> refused{
        {},
        {"Authorization: Bearer wrong"},
        {"Authorization: Bearer " + token + "7"},
        {"Authorization: Bearer " + token.substr(0, token.size() - 1)},
        {"Authorization: Basic " + token},
        {"Authorization: " + token},
    };
    for (const std::string path : {"/", "/metrics", "/status.json", "/elsewhere"}) {
        for (const std::vector<std::string>& headers : refused) {
            const HttpAnswer answer = http().get(path, headers);
            EXPECT_EQ(answer.status, 401) << path << " " << ::testing::PrintToString(headers);
            EXPECT_EQ(answer.header("WWW-Authenticate"), "Bearer realm=\"torven-monitor\"");
            EXPECT_EQ(answer.body.find(streamOne), std::string::npos) << answer.body;
        }
        const HttpAnswer posted = http().request("POST", path, {right});
        EXPECT_EQ(posted.status, 405) << path;
        EXPECT_EQ(posted.header("Allow"), "GET, HEAD") << path;
    }
    for (const std::string path : {"/", "/metrics", "/status.json"}) {
        const HttpAnswer answer = http().get(path, {right});
        EXPECT_EQ(answer.status, 200) << path << "\n" << answer.headers << answer.error;
        EXPECT_NE(answer.body.find(streamOne), std::string::npos) << path;
        EXPECT_EQ(answer.header("Cache-Control"), "no-store") << path;
        const HttpAnswer head = http().request("HEAD", path, {right});
        EXPECT_EQ(head.status, 200) << path;
        EXPECT_EQ(head.body, "") << path;
    }
    EXPECT_EQ(http().get("/elsewhere", {right}).status, 404);

    // A request line or header fields beyond what the server takes in (16 KiB).
    const std::string filler(20 * 1024, 'x');
    const std::set<int> tooLarge{414, 431};
    const HttpAnswer longHeader = http().get("/metrics", {right, "X-Filler: " + filler});
    EXPECT_TRUE(tooLarge.contains(longHeader.status)) << longHeader.status << longHeader.error;
    const HttpAnswer longPath = http().get("/metrics?" + filler, {right});
    EXPECT_TRUE(tooLarge.contains(longPath.status)) << longPath.status << longPath.error;
    EXPECT_EQ(http().get("/metrics", {right}).status, 200) << "the server still answers";

    ASSERT_TRUE(clockAdvances(2));
    EXPECT_GT(rowsInTmp(streamOne), rowsAtStart);
    EXPECT_TRUE(statusScreenShows("DATALOG", {}));
    EXPECT_EQ(quit(), 0);
    EXPECT_TRUE(logMessages("ERROR").empty()) << joinLines(logMessages());
    EXPECT_EQ(http().get("/metrics", {right}).status, 0) << "the service ends with the program";
}

// A monitor whose command line is wrong, or whose remote status cannot be served, says why on
// standard error and ends before it draws anything or touches the station beyond its lock.
TEST_F(RemoteStatusTest, ABadCommandLineOrAnUnservableAddressEndsTheProgramAtOnce) {
    writeConfig(twoDeviceConfig());
    station_.writeFile("Conf/empty-token.txt", "\nthe token must be on the first line\n");
    const LoopbackListener taken;
    ASSERT_NE(taken.port(), 0);
    const std::string takenPort = std::to_string(taken.port());
    const std::string freePort = std::to_string(LoopbackListener::freePort());
    const auto stationFiles = [&] {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(station_.root())) {
            const std::string name = entry.path().lexically_relative(station_.root()).string();
            if (entry.is_regular_file() && name != "torven-monitor.lock")
                files[name] = station_.readFile(name);
        }
        return files;
    };
    const auto untouched = stationFiles();

    // --help lists the options and takes no lock.
    const ProgramRun help = ProgramRun::toEnd({TORVEN_MONITOR_PATH, "--help"}, {});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.errorText, "");
    for (const char* option :
         {"--http PORT", "--http ADDRESS:PORT", "--http-token-file FILE", "--help"}) {
        EXPECT_NE(help.output.find(option), std::string::npos) << option << "\n" << help.output;
    }
    EXPECT_FALSE(station_.exists("torven-monitor.lock"));

    struct Refusal {
        std::vector<std::string> arguments;
        int status;
        std::string message;
    };
    const std::string cannotServe = "cannot serve the remote status: ";
    const std::vector<Refusal> refusals{
        {{"--bogus"}, 64, "unknown option \"--bogus\" (--help lists the options)"},
        {{"--http", "0"},
         64,
         "--http wants PORT or ADDRESS:PORT with a port from 1 to 65535, not \"0\" (--help "
         "lists the options)"},
        {{"--http"}, 64, "--http needs a value (--help lists the options)"},
        {{"--http-token-file", "../Conf/empty-token.txt"},
         64,
         "--http-token-file needs --http (--help lists the options)"},
        {{"--http", "127.0.0.1:" + takenPort},
         3,
         cannotServe + "cannot listen on 127.0.0.1 port " + takenPort +
             " (the address is not this computer's, or the port is in use)"},
        {{"--http", "localhost:" + freePort},
         3,
         cannotServe + "\"localhost\" is not a numeric IPv4 or IPv6 address"},
        {{"--http", freePort, "--http-token-file", "../Conf/missing-token.txt"},
         3,
         "cannot read a token from \"../Conf/missing-token.txt\" (its first line must hold the "
         "token)"},
        {{"--http", freePort, "--http-token-file", "../Conf/empty-token.txt"},
         3,
         "cannot read a token from \"../Conf/empty-token.txt\" (its first line must hold the "
         "token)"},
    };
    for (const Refusal& refusal : refusals) {
        const std::string call = ::testing::PrintToString(refusal.arguments);
        PseudoTerminal terminal(false);
        TerminalOutput drawn(terminal);
        std::vector<std::string> command{TORVEN_MONITOR_PATH};
        command.insert(command.end(), refusal.arguments.begin(), refusal.arguments.end());
        const ProgramRun run = ProgramRun::toEnd(command, {.terminal = terminal.programSide()});
        EXPECT_EQ(run.status, refusal.status) << call;
        EXPECT_EQ(run.errorText, "torven-monitor: " + refusal.message + "\n") << call;
        EXPECT_EQ(drawn.takeOutput(), "") << call;
    }
    EXPECT_EQ(stationFiles(), untouched) << "no data file, event log line or console dump";
    EXPECT_TRUE(station_.fileNames("EventLog").empty());
}

}  // namespace
}  // namespace torven::test
