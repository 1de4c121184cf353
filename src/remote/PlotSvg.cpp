#include "remote/PlotSvg.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <limits>

#include "remote/RemoteText.h"

namespace torven {

namespace {

// The plot area inside the view box, in its units.
constexpr double viewWidth = 960.0;
constexpr double viewHeight = 320.0;
constexpr double left = 120.0;
constexpr double right = 920.0;
constexpr double top = 16.0;
constexpr double bottom = 270.0;
constexpr int hoursBetweenTicks = 6;

struct ValueRange {
    double low = std::numeric_limits<double>::infinity();
    double high = -std::numeric_limits<double>::infinity();

    double y(double value) const {
        if (high <= low)
            return (top + bottom) / 2.0;
        return bottom - (value - low) / (high - low) * (bottom - top);
    }
};

// A coordinate with one decimal.
void appendFixed(std::string& out, double number) {
    std::array<char, 32> text{};
    const auto result =
        std::to_chars(text.data(), text.data() + text.size(), number, std::chars_format::fixed, 1);
    out.append(text.data(), result.ptr);
}

std::string fixed(double number) {
    std::string text;
    appendFixed(text, number);
    return text;
}

std::string valueLabel(double value) {
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.6g", value);
    return text.data();
}

ValueRange rangeOf(const DayBins& day) {
    ValueRange range;
    for (const PlotBin& bin : day.bins) {
        if (bin.count > 0) {
            range.low = std::min(range.low, bin.min);
            range.high = std::max(range.high, bin.max);
        }
    }
    return range;
}

std::string text(double x, double y, const char* anchor, const std::string& content) {
    return "<text x=\"" + fixed(x) + "\" y=\"" + fixed(y) + "\" text-anchor=\"" + anchor + "\">" +
           htmlEscaped(content) + "</text>";
}

std::string axes(const ValueRange& range) {
    std::string svg = "<g class=\"axes\" stroke=\"#999\" stroke-width=\"1\">";
    svg += "<rect x=\"" + fixed(left) + "\" y=\"" + fixed(top) + "\" width=\"" +
           fixed(right - left) + "\" height=\"" + fixed(bottom - top) + "\" fill=\"none\"/>";
    for (int hour = hoursBetweenTicks; hour < 24; hour += hoursBetweenTicks) {
        const std::string x = fixed(left + (right - left) * hour / 24.0);
        svg += "<line x1=\"" + x + "\" y1=\"" + fixed(top) + "\" x2=\"" + x + "\" y2=\"" +
               fixed(bottom) + "\" stroke-dasharray=\"4 4\"/>";
    }
    svg += "</g><g class=\"labels\" font-size=\"24\" fill=\"#333\">";
    for (int hour = 0; hour <= 24; hour += hoursBetweenTicks) {
        std::array<char, 8> label{};
        std::snprintf(label.data(), label.size(), "%02d:00", hour);
        svg += text(left + (right - left) * hour / 24.0, bottom + 32.0, "middle", label.data());
    }
    svg += text(left - 10.0, range.y(range.high) + 8.0, "end", valueLabel(range.high));
    if (range.high > range.low)
        svg += text(left - 10.0, range.y(range.low) + 8.0, "end", valueLabel(range.low));
    svg += text(left - 40.0, bottom + 32.0, "end", "UTC");
    return svg + "</g>";
}

// One polyline per run of bins with readings, through each bin's lowest and highest reading.
std::string envelope(const DayBins& day, const ValueRange& range) {
    std::string svg =
        "<g class=\"envelope\" fill=\"none\" stroke=\"#1565c0\" stroke-width=\"2\" "
        "stroke-linecap=\"round\" stroke-linejoin=\"round\">";
    std::string points;
    const double binWidth = (right - left) / static_cast<double>(DayBins::binCount);
    for (std::size_t index = 0; index <= day.bins.size(); ++index) {
        if (index < day.bins.size() && day.bins[index].count > 0) {
            const PlotBin& bin = day.bins[index];
            const std::string x = fixed(left + binWidth * (static_cast<double>(index) + 0.5));
            points +=
                x + "," + fixed(range.y(bin.min)) + " " + x + "," + fixed(range.y(bin.max)) + " ";
        } else if (!points.empty()) {
            points.pop_back();
            svg += "<polyline points=\"" + points + "\"/>";
            points.clear();
        }
    }
    return svg + "</g>";
}

}  // namespace

std::string plotSvg(const std::string& streamId, const DayBins& day) {
    if (day.rows == 0)
        return "<p class=\"no-rows\" data-stream=\"" + htmlEscaped(streamId) +
               "\">No rows today</p>";
    const ValueRange range = rangeOf(day);
    const std::string id = htmlEscaped(streamId);
    return "<svg class=\"plot\" data-stream=\"" + id +
           "\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + fixed(viewWidth) + " " +
           fixed(viewHeight) +
           "\" width=\"100%\" preserveAspectRatio=\"xMidYMid meet\" role=\"img\"><title>" + id +
           " on " + dateText(day.day) + " (UTC)</title>" + axes(range) + envelope(day, range) +
           "</svg>";
}

}  // namespace torven
