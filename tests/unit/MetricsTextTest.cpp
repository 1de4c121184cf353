#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "remote/MetricsText.h"
#include "support/SampleSnapshot.h"

namespace torven {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);)
        lines.push_back(line);
    return lines;
}

bool hasLine(const std::string& text, const std::string& line) {
    return text.find("\n" + line + "\n") != std::string::npos;
}

TEST(MetricsTextTest, SamplesCarryTheSnapshotsValuesAndEscapedLabels) {
    const std::string text = metricsText(test::sampleSnapshot());
    const std::string ht1 = R"(stream="HT1_123456",port="COM3",channel="1")";
    const std::string awkward = R"(stream="A\"b\\c\nd",port="COM7",channel="1")";
    for (const std::string& line : {
             "torven_stream_status{" + ht1 + R"(,status="LOGGING"} 1)",
             "torven_stream_status{" + ht1 + R"(,status="ON-LINE"} 0)",
             "torven_stream_status{" + awkward + R"(,status="COM LINK OFF"} 1)",
             "torven_stream_status{" + awkward + R"(,status="LOGGING"} 0)",
             "torven_stream_value{" + ht1 + "} 12.345",
             "torven_stream_value{" + awkward + "} NaN",
             "torven_stream_rows_written_total{" + ht1 + "} 100",
             "torven_stream_last_row_timestamp_seconds{" + ht1 + "} 1304467215",
             "torven_stream_file_write_errors_total{" + awkward + "} 1",
             std::string(R"(torven_device_connected{port="COM3"} 1)"),
             std::string(R"(torven_device_connected{port="COM7"} 0)"),
             std::string(R"(torven_device_reconnections_total{port="COM7"} 2)"),
             std::string(R"(torven_device_failed_handshakes_total{port="COM7"} 5)"),
             std::string(R"(torven_device_failed_reads_total{port="COM3"} 4)"),
             std::string(R"(torven_mode{mode="DATALOG"} 1)"),
             std::string(R"(torven_mode{mode="STOPPED"} 0)"),
             std::string("torven_configuration_error 0"),
             std::string(R"(torven_event_log_lines_total{level="INFO"} 20)"),
             std::string(R"(torven_event_log_lines_total{level="FATAL"} 0)"),
             std::string("torven_finished_files_waiting 1"),
             std::string("torven_start_time_seconds 1304380800"),
             std::string(R"(torven_build_info{version="0.40"} 1)"),
         }) {
        EXPECT_TRUE(hasLine(text, line)) << line;
    }
    // The COM7 stream has written no row yet, so it has no time of its last row.
    EXPECT_EQ(text.find("torven_stream_last_row_timestamp_seconds{" + awkward), std::string::npos);
}

TEST(MetricsTextTest, EachStreamHasExactlyOneCurrentStatusOfTheFive) {
    std::map<std::string, std::vector<int>> values;  // by stream label set
    for (const std::string& line : linesOf(metricsText(test::sampleSnapshot()))) {
        if (line.starts_with("torven_stream_status{"))
            values[line.substr(0, line.find(",status="))].push_back(line.back() - '0');
    }
    ASSERT_EQ(values.size(), 2U);
    for (const auto& [stream, samples] : values) {
        EXPECT_EQ(samples.size(), 5U) << stream;
        EXPECT_EQ(std::count(samples.begin(), samples.end(), 1), 1) << stream;
    }
}

// Every sample follows the HELP and TYPE of its family, each family is declared once, and
// counters, and only counters, end in "_total".
TEST(MetricsTextTest, FamiliesAreDeclaredOnceAndCountersNamedTotal) {
    for (const bool withDevices : {true, false}) {
        SCOPED_TRACE(withDevices ? "sample station" : "no devices");
        StatusSnapshot snapshot = test::sampleSnapshot();
        if (!withDevices)
            snapshot.devices.clear();
        std::map<std::string, std::string> types;
        std::string current;
        for (const std::string& line : linesOf(metricsText(snapshot))) {
            std::istringstream words(line);
            std::string hash, keyword, name, type;
            if (line.starts_with("# HELP ")) {
                words >> hash >> keyword >> name;
                EXPECT_FALSE(types.contains(name)) << name;
                current = name;
            } else if (line.starts_with("# TYPE ")) {
                words >> hash >> keyword >> name >> type;
                EXPECT_EQ(name, current);
                EXPECT_EQ(name.ends_with("_total"), type == "counter") << name;
                types[name] = type;
            } else {
                EXPECT_EQ(line.substr(0, line.find_first_of("{ ")), current) << line;
            }
        }
        EXPECT_EQ(types.size(), 15U);
    }
}

}  // namespace
}  // namespace torven
