#include "remote/StatusJson.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include "eventlog/LogLevel.h"
#include "remote/RemoteText.h"

namespace torven {

namespace {

// Writes the members of one JSON object, placing the commas.
class JsonObject {
  public:
    explicit JsonObject(std::string& out) : out_(out) { out_ += '{'; }
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;
    ~JsonObject() { out_ += '}'; }

    // The member's name; its value is written next.
    std::string& member(std::string_view name) {
        if (!first_)
            out_ += ',';
        first_ = false;
        return out_.append(jsonQuoted(name)).append(":");
    }

    void text(std::string_view name, std::string_view value) { member(name) += jsonQuoted(value); }
    void literal(std::string_view name, std::string_view value) { member(name) += value; }
    void count(std::string_view name, std::uint64_t value) {
        member(name) += std::to_string(value);
    }
    void boolean(std::string_view name, bool value) { literal(name, value ? "true" : "false"); }
    void time(std::string_view name, std::optional<std::int64_t> value) {
        literal(name, value ? jsonQuoted(isoUtcText(*value)) : "null");
    }

  private:
    std::string& out_;
    bool first_ = true;
};

std::string numberOrNull(std::optional<double> value) {
    return value && std::isfinite(*value) ? numberText(*value) : "null";
}

void writeStream(std::string& out, const StreamSnapshot& stream) {
    JsonObject object(out);
    object.text("id", stream.id);
    object.text("type", stream.typeName);
    object.text("status", stream.status);
    object.literal("sampleInterval", std::to_string(stream.sampleInterval));
    object.count("rowsWritten", stream.rowsWritten);
    object.count("fileWriteErrors", stream.fileWriteErrors);
    object.time("lastRowTime", stream.lastRowTime);
}

void writeChannel(std::string& out, const ChannelSnapshot& channel) {
    JsonObject object(out);
    object.literal("channel", std::to_string(channel.number));
    object.literal("value", numberOrNull(channel.value));
    object.text("valueText", channel.valueText);
    if (channel.stream)
        writeStream(object.member("stream"), *channel.stream);
    else
        object.literal("stream", "null");
}

void writeDevice(std::string& out, const DeviceSnapshot& device) {
    JsonObject object(out);
    object.text("port", device.port);
    object.text("connectedPort", device.connectedPort);
    object.text("type", device.typeName);
    object.boolean("connected", device.connected);
    object.count("reconnections", device.reconnections);
    object.count("failedHandshakes", device.failedHandshakes);
    object.count("failedReads", device.failedReads);
    std::string& channels = object.member("channels");
    channels += '[';
    for (std::size_t index = 0; index < device.channels.size(); ++index) {
        if (index > 0)
            channels += ',';
        writeChannel(channels, device.channels[index]);
    }
    channels += ']';
}

void writeEventLogLines(std::string& out, const StatusSnapshot& snapshot) {
    JsonObject object(out);
    for (std::size_t level = 0; level < snapshot.eventLogLines.size(); ++level)
        object.count(levelName(static_cast<LogLevel>(level)), snapshot.eventLogLines[level]);
}

void writeStatus(std::string& out, const StatusSnapshot& snapshot) {
    JsonObject object(out);
    object.text("version", snapshot.version);
    object.text("mode", snapshot.mode);
    object.text("modeText", snapshot.modeText);
    object.text("site", snapshot.site);
    object.time("time", snapshot.lastPassTime);
    object.literal("configurationError",
                   snapshot.configurationError ? jsonQuoted(*snapshot.configurationError) : "null");
    object.time("startTime", snapshot.startTime);
    writeEventLogLines(object.member("eventLogLines"), snapshot);
    object.count("finishedFilesWaiting", snapshot.finishedFilesWaiting);
    std::string& devices = object.member("devices");
    devices += '[';
    for (std::size_t index = 0; index < snapshot.devices.size(); ++index) {
        if (index > 0)
            devices += ',';
        writeDevice(devices, snapshot.devices[index]);
    }
    devices += ']';
}

}  // namespace

std::string statusJson(const StatusSnapshot& snapshot) {
    std::string out;
    writeStatus(out, snapshot);
    out += '\n';
    return out;
}

}  // namespace torven
