#include "remote/StatusPage.h"

#include <cstddef>
#include <string_view>

#include "remote/PlotSvg.h"
#include "remote/RemoteText.h"

namespace torven {

namespace {

constexpr std::string_view styleSheet = R"(
body{font-family:system-ui,sans-serif;margin:0 auto;padding:0.5em;max-width:70em;color:#222}
h1{font-size:1.3em;margin:0.3em 0}
h2{font-size:1.1em;margin:1.2em 0 0.3em}
dl.summary{display:grid;grid-template-columns:max-content auto;gap:0.2em 1em;margin:0.5em 0}
dl.summary dt{font-weight:bold}
dl.summary dd{margin:0}
.mode{background:#222;color:#fff;padding:0 0.4em}
.config-error{background:#c62828;color:#fff;padding:0.6em;white-space:pre-wrap;margin:0.5em 0}
.table-wrap{overflow-x:auto}
table{border-collapse:collapse;white-space:nowrap}
th,td{border:1px solid #ccc;padding:0.2em 0.5em;text-align:left}
th{background:#eee}
td.value,td.rate{text-align:right;font-family:monospace}
.connected{color:#1b5e20}
.disconnected{color:#fff;background:#c62828}
.st-logging{background:#2e7d32;color:#fff}
.st-online{background:#1565c0;color:#fff}
.st-offline{background:#ef6c00;color:#fff}
.st-alarm{background:#c62828;color:#fff}
svg.plot{width:100%;height:auto;display:block;max-width:60em}
.no-rows{color:#666;font-style:italic}
@media (max-width:40em){
th.device,td.device,th.channel,td.channel,th.type,td.type,th.rate,td.rate{display:none}
table{font-size:0.85em}
th,td{padding:0.2em 0.25em}
td.connection{white-space:normal;width:5em}
body{padding:0.3em}
}
)";

constexpr std::string_view columnHeadings =
    "<tr><th>Port</th><th class=\"device\">Device</th><th>Connection</th><th "
    "class=\"channel\">Chan</th>"
    "<th class=\"type\">Data type</th><th>ID</th><th>Data</th><th>Mode</th>"
    "<th class=\"rate\">Rate</th></tr>";

std::string statusClass(const std::string& status) {
    if (status == "LOGGING")
        return "st-logging";
    if (status == "ON-LINE")
        return "st-online";
    if (status == "OFF-LINE")
        return "st-offline";
    return "st-alarm";
}

std::string cell(std::string_view cssClass, const std::string& content) {
    return "<td class=\"" + std::string(cssClass) + "\">" + htmlEscaped(content) + "</td>";
}

std::string deviceCells(const DeviceSnapshot& device) {
    const std::string rows = std::to_string(device.channels.size());
    const std::string span = " rowspan=\"" + rows + "\"";
    const std::string connection =
        device.connected ? "<td class=\"connection connected\"" + span +
                               ">ON-Line: " + htmlEscaped(device.connectedPort) + "</td>"
                         : "<td class=\"connection disconnected\"" + span + ">Disconnected</td>";
    return "<td class=\"port\"" + span + ">" + htmlEscaped(device.port) + "</td>" +
           "<td class=\"device\"" + span + ">" + htmlEscaped(device.typeName) + "</td>" +
           connection;
}

std::string channelCells(const ChannelSnapshot& channel) {
    std::string cells = cell("channel", std::to_string(channel.number));
    if (!channel.stream) {
        return cells + cell("type", "Unassigned") + cell("id", "") +
               cell("value", channel.valueText) + cell("status", "N/A") + cell("rate", "0");
    }
    const StreamSnapshot& stream = *channel.stream;
    return cells + cell("type", stream.typeName) + cell("id", stream.id) +
           cell("value", channel.valueText) + "<td class=\"status " + statusClass(stream.status) +
           "\">" + htmlEscaped(stream.status) + "</td>" +
           cell("rate", std::to_string(stream.sampleInterval));
}

std::string deviceRows(const DeviceSnapshot& device) {
    std::string rows;
    for (std::size_t index = 0; index < device.channels.size(); ++index) {
        const ChannelSnapshot& channel = device.channels[index];
        rows += channel.stream ? "<tr class=\"stream\" data-stream=\"" +
                                     htmlEscaped(channel.stream->id) + "\">"
                               : std::string("<tr class=\"channel\">");
        if (index == 0)
            rows += deviceCells(device);
        rows += channelCells(channel) + "</tr>\n";
    }
    return rows;
}

std::string deviceTable(const StatusSnapshot& snapshot) {
    std::string table = "<div class=\"table-wrap\"><table class=\"devices\"><thead>" +
                        std::string(columnHeadings) + "</thead>\n";
    for (const DeviceSnapshot& device : snapshot.devices) {
        if (!device.channels.empty())
            table += "<tbody class=\"device\">" + deviceRows(device) + "</tbody>\n";
    }
    return table + "</table></div>\n";
}

std::string summary(const StatusSnapshot& snapshot) {
    std::string text = "<dl class=\"summary\"><dt>Current Mode</dt><dd><span class=\"mode\">" +
                       htmlEscaped(snapshot.modeText) + "</span></dd><dt>Monitor Site</dt>" +
                       "<dd class=\"site\">" + htmlEscaped(snapshot.site) +
                       "</dd><dt>UTC</dt><dd class=\"time\">" +
                       htmlEscaped(snapshot.lastPassTime ? snapshot.lastPassText : "-") +
                       "</dd></dl>\n";
    if (snapshot.configurationError) {
        text += "<div class=\"config-error\" role=\"alert\">" +
                htmlEscaped(*snapshot.configurationError) + "</div>\n";
    }
    return text;
}

std::string plotSections(const StatusSnapshot& snapshot, const DayPlots& plots) {
    std::string sections;
    for (const DeviceSnapshot& device : snapshot.devices) {
        for (const ChannelSnapshot& channel : device.channels) {
            if (!channel.stream)
                continue;
            const std::string& id = channel.stream->id;
            const auto plot = plots.find(id);
            sections += "<section class=\"stream-plot\"><h2>" + htmlEscaped(id) + "</h2>" +
                        plotSvg(id, plot != plots.end() ? plot->second : DayBins{}) +
                        "</section>\n";
        }
    }
    return sections;
}

std::string head(const StatusSnapshot& snapshot) {
    const std::string title =
        snapshot.site.empty() ? "TORVEN status" : "TORVEN " + snapshot.site + " status";
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"refresh\" content=\"5\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>" +
           htmlEscaped(title) + "</title>\n<style>" + std::string(styleSheet) +
           "</style>\n</head>\n";
}

}  // namespace

std::string statusPage(const StatusSnapshot& snapshot, const DayPlots& plots) {
    return head(snapshot) + "<body>\n<h1>TORVEN Data Collection Monitor <small>Version " +
           htmlEscaped(snapshot.version) + "</small></h1>\n" + summary(snapshot) +
           deviceTable(snapshot) + plotSections(snapshot, plots) + "</body>\n</html>\n";
}

}  // namespace torven
