#include "RemoteStatusFixture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <regex>
#include <sstream>

#include "support/LoopbackListener.h"
#include "support/ProgramRun.h"

namespace torven::test {

namespace {

// Prints status.json as tab-separated lines: "site", "mode" and "time" with their values,
// then "stream" with ID, status, value text, rows written and last row time per stream.
constexpr const char* flattenJson = R"(import json, sys
status = json.load(sys.stdin)
print("site\t%s" % status["site"])
print("mode\t%s" % status["mode"])
print("time\t%s" % status["time"])
for device in status["devices"]:
    for channel in device["channels"]:
        stream = channel["stream"]
        if stream is not None:
            print("stream\t%s\t%s\t%s\t%d\t%s" % (stream["id"], stream["status"],
                  channel["valueText"], stream["rowsWritten"], stream["lastRowTime"] or "null"))
)";

std::vector<std::string> fields(const std::string& line, char separator) {
    std::vector<std::string> parts;
    std::istringstream stream(line);
    for (std::string part; std::getline(stream, part, separator);)
        parts.push_back(part);
    return parts;
}

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<StreamView> sortedById(std::vector<StreamView> streams) {
    std::sort(streams.begin(), streams.end(),
              [](const StreamView& a, const StreamView& b) { return a.id < b.id; });
    return streams;
}

// The text of the first element that begins with `start` inside `row`, up to the next tag.
std::string elementText(const std::string& row, const std::string& start) {
    const std::size_t open = row.find(start);
    if (open == std::string::npos)
        return "";
    const std::size_t textStart = row.find('>', open) + 1;
    return row.substr(textStart, row.find('<', textStart) - textStart);
}

std::string shownValue(const std::string& metricValueText) {
    const double value = std::strtod(metricValueText.c_str(), nullptr);
    if (std::isnan(value))
        return "........";
    char text[32];
    std::snprintf(text, sizeof text, "%+.3f", value);
    return text;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const StreamView& stream) {
    return out << "{" << stream.id << " \"" << stream.value << "\" " << stream.status << "}";
}

std::vector<StreamView> screenStreams(const std::vector<std::string>& screen) {
    // The 19 columns of the device field, the channel, type, ID, value, status and rate.
    static const std::regex channelRow(
        R"(^.{20}[ \d]\d   .{10} (.{10})  (.{8}) (.{16}) [ \d-]{3}\d *$)");
    std::vector<StreamView> streams;
    for (const std::string& row : screen) {
        std::smatch match;
        if (std::regex_match(row, match, channelRow) && !trimmed(match[1]).empty())
            streams.push_back({trimmed(match[1]), trimmed(match[2]), trimmed(match[3])});
    }
    return sortedById(streams);
}

std::vector<StreamView> pageStreams(const std::string& html) {
    const std::string rowStart = "<tr class=\"stream\" data-stream=\"";
    std::vector<StreamView> streams;
    for (std::size_t at = html.find(rowStart); at != std::string::npos;
         at = html.find(rowStart, at + 1)) {
        const std::string row = html.substr(at, html.find("</tr>", at) - at);
        streams.push_back({elementText(row, "<td class=\"id\""),
                           elementText(row, "<td class=\"value\""),
                           elementText(row, "<td class=\"status ")});
    }
    return sortedById(streams);
}

std::vector<MetricSample> parseMetrics(const std::string& text) {
    static const std::regex label(R"re(([a-zA-Z_]\w*)="([^"]*)")re");
    std::vector<MetricSample> samples;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line.front() == '#')
            continue;
        MetricSample sample;
        const std::size_t valueStart = line.rfind(' ');
        const std::size_t labelsStart = std::min(line.find('{'), valueStart);
        sample.name = line.substr(0, labelsStart);
        sample.value = line.substr(valueStart + 1);
        const std::string labels = line.substr(labelsStart, valueStart - labelsStart);
        for (std::sregex_iterator it(labels.begin(), labels.end(), label), end; it != end; ++it)
            sample.labels[(*it)[1]] = (*it)[2];
        samples.push_back(std::move(sample));
    }
    return samples;
}

std::optional<std::string> metricValue(const std::vector<MetricSample>& samples,
                                       const std::string& name,
                                       const std::map<std::string, std::string>& labels) {
    std::optional<std::string> value;
    for (const MetricSample& sample : samples) {
        const bool matches =
            sample.name == name && std::all_of(labels.begin(), labels.end(), [&](const auto& l) {
                const auto found = sample.labels.find(l.first);
                return found != sample.labels.end() && found->second == l.second;
            });
        if (matches && value)
            return std::nullopt;
        if (matches)
            value = sample.value;
    }
    return value;
}

std::vector<StreamView> metricStreams(const std::vector<MetricSample>& samples) {
    std::vector<StreamView> streams;
    for (const MetricSample& sample : samples) {
        if (sample.name != "torven_stream_status" || sample.value != "1")
            continue;
        const std::string& id = sample.labels.at("stream");
        const auto value = metricValue(samples, "torven_stream_value", {{"stream", id}});
        streams.push_back({id, value ? shownValue(*value) : "?", sample.labels.at("status")});
    }
    return sortedById(streams);
}

void RemoteStatusFixture::startServing(const std::vector<std::string>& arguments) {
    port_ = LoopbackListener::freePort();
    ASSERT_NE(port_, 0) << "no free port";
    std::vector<std::string> command{"--http", std::to_string(port_)};
    command.insert(command.end(), arguments.begin(), arguments.end());
    startMonitor("UTC", {}, command);
    ASSERT_TRUE(eventually([&] { return http().get("/metrics").status != 0; }, screenTimeout))
        << "nothing answers on port " << port_ << "\n"
        << monitor().screenText();
}

std::size_t RemoteStatusFixture::rowsInTmp(const std::string& id) const {
    std::size_t rows = 0;
    for (const std::string& name : dataFiles("tmp")) {
        if (name.ends_with("_" + id + ".csv"))
            rows += wholeRows(station_.readFile("tmp/" + name)).size();
    }
    return rows;
}

::testing::AssertionResult RemoteStatusFixture::readStatusJson(const std::string& json,
                                                               StatusFacts& facts) const {
    station_.writeFile("status.json", json);
    const ProgramRun run =
        ProgramRun::toEnd({"python3", "-c", flattenJson}, {.input = station_.path("status.json")});
    if (run.status != 0) {
        return ::testing::AssertionFailure() << "not the JSON expected: " << run.errorText << "\n"
                                             << json;
    }
    facts = {};
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const std::vector<std::string> parts = fields(line, '\t');
        if (parts.size() == 2 && parts[0] == "site") {
            facts.site = parts[1];
        } else if (parts.size() == 2 && parts[0] == "mode") {
            facts.mode = parts[1];
        } else if (parts.size() == 2 && parts[0] == "time") {
            facts.time = parts[1];
        } else if (parts.size() == 6 && parts[0] == "stream") {
            facts.streams.push_back({parts[1], parts[3], parts[2]});
            facts.rowsWritten[parts[1]] = std::stoull(parts[4]);
            facts.lastRowTime[parts[1]] = parts[5];
        }
    }
    facts.streams = sortedById(facts.streams);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RemoteStatusFixture::promtoolAccepts(const std::string& metrics) const {
    station_.writeFile("metrics.txt", metrics);
    const ProgramRun run = ProgramRun::toEnd({"promtool", "check", "metrics"},
                                             {.input = station_.path("metrics.txt")});
    if (run.status == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "promtool: " << run.output << run.errorText << "\n"
                                         << metrics;
}

::testing::AssertionResult RemoteStatusFixture::agreesWithScreen(
    const std::string& what, const std::function<std::vector<StreamView>()>& view) const {
    std::vector<StreamView> shown;
    std::vector<StreamView> seen;
    const bool agreed = eventually(
        [&] {
            shown = screenStreams(monitor().capture());
            seen = view();
            return !shown.empty() && screenStreams(monitor().capture()) == shown && seen == shown;
        },
        screenTimeout, 200ms);
    if (agreed)
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << what << " never showed the screen's streams; last it showed\n";
    for (const StreamView& stream : seen)
        failure << stream << "\n";
    failure << "while the screen showed\n";
    for (const StreamView& stream : shown)
        failure << stream << "\n";
    return failure << monitor().screenText();
}

}  // namespace torven::test
