#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "remote/RemoteText.h"
#include "remote/StatusJson.h"
#include "support/SampleSnapshot.h"

namespace torven {
namespace {

struct EscapeCase {
    const char* name;
    std::string text;
    std::string json;
};

TEST(StatusJsonTest, StringsAreEscapedAndKeptValidUtf8) {
    const std::string replacement = "\xEF\xBF\xBD";
    const EscapeCase cases[] = {
        {"plain", "COM3", "\"COM3\""},
        {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
        {"control characters", "a\nb\x01\x1f\x7f", R"("a\u000ab\u0001\u001f\u007f")"},
        {"two-byte and four-byte", "\xC3\xA9 \xF0\x9F\x98\x80", "\"\xC3\xA9 \xF0\x9F\x98\x80\""},
        {"stray bytes",
         "a\xFF"
         "b\x80",
         "\"a" + replacement + "b" + replacement + "\""},
        {"cut-off sequence at the end", "x\xE2\x82", "\"x" + replacement + replacement + "\""},
        {"overlong encoding", "\xC0\xAF", "\"" + replacement + replacement + "\""},
        {"surrogate", "\xED\xA0\x80", "\"" + replacement + replacement + replacement + "\""},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80",
         "\"" + replacement + replacement + replacement + replacement + "\""},
    };
    for (const EscapeCase& test : cases) {
        EXPECT_EQ(jsonQuoted(test.text), test.json) << test.name;
    }
}

TEST(StatusJsonTest, SampleStationInFull) {
    const std::string json = statusJson(test::sampleSnapshot());
    for (const char* part : {
             R"({"version":"0.40","mode":"DATALOG","modeText":"DATALOG","site":"North Ridge",)",
             R"("time":"2011-05-04T00:00:15Z","configurationError":null,)",
             R"("startTime":"2011-05-03T00:00:00Z",)",
             R"("eventLogLines":{"CONF":1,"INFO":20,"WARN":3,"ERROR":0,"FATAL":0},)",
             R"("finishedFilesWaiting":1,"devices":[{"port":"COM3","connectedPort":"COM3",)",
             R"("type":"DI-194RS","connected":true,"reconnections":0,)",
             R"("channels":[{"channel":1,"value":12.345,"valueText":"+12.345","stream":{)",
             R"("id":"HT1_123456","type":"KORALI-VX","status":"LOGGING","sampleInterval":1,)",
             R"("rowsWritten":100,"fileWriteErrors":0,"lastRowTime":"2011-05-04T00:00:15Z"}},)",
             R"({"channel":2,"value":null,"valueText":"........","stream":null}]},)",
             R"("stream":{"id":"A\"b\\c\u000ad",)",
             R"("fileWriteErrors":1,"lastRowTime":null}}]}]})",
         }) {
        EXPECT_NE(json.find(part), std::string::npos) << part;
    }
}

TEST(StatusJsonTest, UnknownTimesAndValuesThatAreNotFiniteAreNull) {
    for (const double value :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
          -std::numeric_limits<double>::infinity()}) {
        StatusSnapshot snapshot = test::sampleSnapshot();
        snapshot.lastPassTime.reset();
        snapshot.configurationError = "Bad \"SITE\"\nline 3";
        snapshot.devices[0].channels[0].value = value;
        const std::string json = statusJson(snapshot);
        EXPECT_NE(json.find(R"("time":null,"configurationError":"Bad \"SITE\"\u000aline 3",)"),
                  std::string::npos);
        EXPECT_NE(json.find(R"({"channel":1,"value":null,)"), std::string::npos) << value;
    }
}

}  // namespace
}  // namespace torven
