#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "MonitorFixture.h"
#include "support/HttpProbe.h"

namespace torven::test {

// A data stream as one view shows it: its ID, its value text and its status word.
struct StreamView {
    std::string id;
    std::string value;
    std::string status;
    bool operator==(const StreamView&) const = default;
};
std::ostream& operator<<(std::ostream& out, const StreamView& stream);

// The streams of the status screen (rows with a stream ID), sorted by ID.
std::vector<StreamView> screenStreams(const std::vector<std::string>& screen);
// The streams of the HTML status page (tr.stream rows with their id, value and status
// cells), sorted by ID; the same for the page as served and as a browser built it.
std::vector<StreamView> pageStreams(const std::string& html);

// One sample of the Prometheus text.
struct MetricSample {
    std::string name;
    std::map<std::string, std::string> labels;
    std::string value;
};
std::vector<MetricSample> parseMetrics(const std::string& text);
// The value of the one sample of the family whose labels include `labels`; none when there
// is no such sample or more than one.
std::optional<std::string> metricValue(const std::vector<MetricSample>& samples,
                                       const std::string& name,
                                       const std::map<std::string, std::string>& labels = {});
// The streams as the metrics show them: the status whose torven_stream_status sample is 1,
// the value of torven_stream_value as the screen would show it; sorted by ID.
std::vector<StreamView> metricStreams(const std::vector<MetricSample>& samples);

// What /status.json says, read by Python's JSON parser (so the text must be valid JSON).
struct StatusFacts {
    std::string site;
    std::string mode;
    std::string time;
    std::vector<StreamView> streams;  // sorted by ID
    std::map<std::string, std::uint64_t> rowsWritten;
    std::map<std::string, std::string> lastRowTime;  // "null" before the first row
};

// A monitor that serves the remote status on a free loopback port.
class RemoteStatusFixture : public MonitorFixture {
  protected:
    // Starts the monitor with --http on a free port and the further arguments, and waits
    // until the port answers.
    void startServing(const std::vector<std::string>& arguments = {});
    HttpProbe http() const { return HttpProbe(port_); }

    // The data rows of a stream in its files in tmp.
    std::size_t rowsInTmp(const std::string& id) const;
    // Reads a /status.json text; failure when it is no valid JSON of the expected shape.
    ::testing::AssertionResult readStatusJson(const std::string& json, StatusFacts& facts) const;
    // Whether promtool accepts the metrics text.
    ::testing::AssertionResult promtoolAccepts(const std::string& metrics) const;
    // Waits for a moment in which the screen's streams stay the same while `view` is taken
    // (statuses can change between passes) and `view` then shows the same streams.
    ::testing::AssertionResult agreesWithScreen(
        const std::string& what, const std::function<std::vector<StreamView>()>& view) const;

    std::uint16_t port_ = 0;
};

}  // namespace torven::test
