#include "remote/MetricsText.h"

#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "collection/CollectionStatus.h"
#include "eventlog/LogLevel.h"
#include "remote/RemoteText.h"
#include "shell/DataLoggingMode.h"

namespace torven {

namespace {

using Labels = std::vector<std::pair<std::string_view, std::string>>;

// A stream with the device port and channel number that label its samples.
struct StreamEntry {
    const StreamSnapshot* stream;
    const DeviceSnapshot* device;
    const ChannelSnapshot* channel;
};

std::string labelValue(std::string_view value) {
    std::string escaped;
    for (const char character : validUtf8(value)) {
        if (character == '\\')
            escaped += "\\\\";
        else if (character == '"')
            escaped += "\\\"";
        else if (character == '\n')
            escaped += "\\n";
        else
            escaped += character;
    }
    return escaped;
}

class Exposition {
  public:
    void family(std::string_view name, std::string_view type, std::string_view help) {
        text_.append("# HELP ").append(name).append(" ").append(help).append("\n");
        text_.append("# TYPE ").append(name).append(" ").append(type).append("\n");
    }

    void sample(std::string_view name, const Labels& labels, const std::string& value) {
        text_.append(name);
        if (!labels.empty()) {
            const char* separator = "{";
            for (const auto& [label, labelText] : labels) {
                text_.append(separator).append(label).append("=\"");
                text_.append(labelValue(labelText)).append("\"");
                separator = ",";
            }
            text_.append("}");
        }
        text_.append(" ").append(value).append("\n");
    }

    void sample(std::string_view name, const Labels& labels, std::uint64_t value) {
        sample(name, labels, std::to_string(value));
    }

    std::string text() && { return std::move(text_); }

  private:
    std::string text_;
};

std::vector<StreamEntry> streamsOf(const StatusSnapshot& snapshot) {
    std::vector<StreamEntry> streams;
    for (const DeviceSnapshot& device : snapshot.devices) {
        for (const ChannelSnapshot& channel : device.channels) {
            if (channel.stream)
                streams.push_back({&*channel.stream, &device, &channel});
        }
    }
    return streams;
}

Labels streamLabels(const StreamEntry& entry) {
    return {{"stream", entry.stream->id},
            {"port", entry.device->port},
            {"channel", std::to_string(entry.channel->number)}};
}

void addStreamStatus(Exposition& out, const std::vector<StreamEntry>& streams) {
    out.family("torven_stream_status", "gauge",
               "Status of the data stream: 1 for its current status word, 0 for the others.");
    constexpr std::array statuses = {CollectionStatus::OffLine, CollectionStatus::OnLine,
                                     CollectionStatus::Logging, CollectionStatus::FileWriteError,
                                     CollectionStatus::ComLinkOff};
    for (const StreamEntry& entry : streams) {
        for (const CollectionStatus status : statuses) {
            Labels labels = streamLabels(entry);
            const std::string word = statusWord(status);
            labels.emplace_back("status", word);
            out.sample("torven_stream_status", labels, word == entry.stream->status ? 1U : 0U);
        }
    }
}

// A family with one sample per stream, or none where value gives none.
void addStreamFamily(Exposition& out, const std::vector<StreamEntry>& streams,
                     std::string_view name, std::string_view type, std::string_view help,
                     const std::function<std::optional<std::string>(const StreamEntry&)>& value) {
    out.family(name, type, help);
    for (const StreamEntry& entry : streams) {
        if (const std::optional<std::string> text = value(entry))
            out.sample(name, streamLabels(entry), *text);
    }
}

void addStreamValues(Exposition& out, const std::vector<StreamEntry>& streams) {
    addStreamFamily(
        out, streams, "torven_stream_value", "gauge",
        "Latest reading of the stream's channel; NaN without a reading.",
        [](const StreamEntry& entry) {
            const std::optional<double>& value = entry.channel->value;
            return numberText(value ? *value : std::numeric_limits<double>::quiet_NaN());
        });
    addStreamFamily(
        out, streams, "torven_stream_rows_written_total", "counter",
        "Data rows written by the stream since the program started.",
        [](const StreamEntry& entry) { return std::to_string(entry.stream->rowsWritten); });
    addStreamFamily(out, streams, "torven_stream_last_row_timestamp_seconds", "gauge",
                    "Time of the stream's latest data row, seconds since the epoch.",
                    [](const StreamEntry& entry) -> std::optional<std::string> {
                        if (!entry.stream->lastRowTime)
                            return std::nullopt;
                        return std::to_string(*entry.stream->lastRowTime);
                    });
    addStreamFamily(
        out, streams, "torven_stream_file_write_errors_total", "counter",
        "Data rows the stream failed to write to its data files.",
        [](const StreamEntry& entry) { return std::to_string(entry.stream->fileWriteErrors); });
}

void addDevices(Exposition& out, const std::vector<DeviceSnapshot>& devices) {
    out.family("torven_device_connected", "gauge", "Whether the device is connected (1) or not.");
    for (const DeviceSnapshot& device : devices)
        out.sample("torven_device_connected", {{"port", device.port}}, device.connected ? 1U : 0U);
    const std::array<std::pair<std::string_view, std::uint64_t DeviceSnapshot::*>, 3> counters = {{
        {"torven_device_reconnections_total", &DeviceSnapshot::reconnections},
        {"torven_device_failed_handshakes_total", &DeviceSnapshot::failedHandshakes},
        {"torven_device_failed_reads_total", &DeviceSnapshot::failedReads},
    }};
    const std::array<std::string_view, 3> helps = {
        "Connections to the device made again after it was lost.",
        "Handshakes with the device that failed.", "Readings from the device that failed."};
    for (std::size_t index = 0; index < counters.size(); ++index) {
        const auto& [name, member] = counters[index];
        out.family(name, "counter", helps[index]);
        for (const DeviceSnapshot& device : devices)
            out.sample(name, {{"port", device.port}}, device.*member);
    }
}

void addProgram(Exposition& out, const StatusSnapshot& snapshot) {
    out.family("torven_mode", "gauge",
               "Mode of the program: 1 for the current one, 0 for the others.");
    for (const DataLoggingMode mode : {DataLoggingMode::Initialize, DataLoggingMode::DATALOG,
                                       DataLoggingMode::CALIBRATE, DataLoggingMode::STOPPED}) {
        const std::string name = modeName(mode);
        out.sample("torven_mode", {{"mode", name}}, name == snapshot.mode ? 1U : 0U);
    }
    out.family("torven_configuration_error", "gauge",
               "Whether the configuration error box is shown (1) or not.");
    out.sample("torven_configuration_error", {}, snapshot.configurationError ? 1U : 0U);
    out.family("torven_event_log_lines_total", "counter",
               "Event log lines written since the program started, by level.");
    for (std::size_t level = 0; level < snapshot.eventLogLines.size(); ++level) {
        out.sample("torven_event_log_lines_total",
                   {{"level", levelName(static_cast<LogLevel>(level))}},
                   snapshot.eventLogLines[level]);
    }
    out.family("torven_finished_files_waiting", "gauge",
               "Finished data files in the tmp directory waiting for their hand-over.");
    out.sample("torven_finished_files_waiting", {}, snapshot.finishedFilesWaiting);
    out.family("torven_start_time_seconds", "gauge",
               "Time the program started, seconds since the epoch.");
    out.sample("torven_start_time_seconds", {}, std::to_string(snapshot.startTime));
    out.family("torven_build_info", "gauge", "Version of the program; the value is always 1.");
    out.sample("torven_build_info", {{"version", snapshot.version}}, 1U);
}

}  // namespace

std::string metricsText(const StatusSnapshot& snapshot) {
    Exposition out;
    const std::vector<StreamEntry> streams = streamsOf(snapshot);
    addStreamStatus(out, streams);
    addStreamValues(out, streams);
    addDevices(out, snapshot.devices);
    addProgram(out, snapshot);
    return std::move(out).text();
}

}  // namespace torven
