#include <gtest/gtest.h>

#include <string>

#include "remote/PlotSvg.h"
#include "remote/RemoteText.h"
#include "remote/StatusPage.h"
#include "support/SampleSnapshot.h"

namespace torven {
namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

DayBins dayWith(std::initializer_list<std::pair<std::int64_t, double>> readings) {
    DayBins day;
    day.day = 15098;  // 2011-05-04
    for (const auto& [second, value] : readings)
        day.add(second, value);
    return day;
}

TEST(StatusPageTest, HtmlTextIsEscaped) {
    EXPECT_EQ(htmlEscaped("<a href=\"x\">Tom & 'Jerry'</a>"),
              "&lt;a href=&quot;x&quot;&gt;Tom &amp; &#39;Jerry&#39;&lt;/a&gt;");
    EXPECT_EQ(htmlEscaped("a\x01\xff\tb\n"), "a\xEF\xBF\xBD\xEF\xBF\xBD\tb\n");
}

TEST(StatusPageTest, APlotWithoutRowsIsAText) {
    const std::string html = plotSvg("HT1", dayWith({}));
    EXPECT_TRUE(contains(html, "No rows today"));
    EXPECT_FALSE(contains(html, "<svg"));
}

TEST(StatusPageTest, APlotEscapesItsStreamAndBreaksAtGaps) {
    const std::string svg = plotSvg("<x&\"y>", dayWith({{0, 1.0}, {200, 3.0}, {3600, 2.0}}));
    EXPECT_TRUE(contains(svg, "<svg class=\"plot\" data-stream=\"&lt;x&amp;&quot;y&gt;\""));
    EXPECT_TRUE(contains(svg, "<title>&lt;x&amp;&quot;y&gt; on 2011-05-04 (UTC)</title>"));
    EXPECT_FALSE(contains(svg, "<x&"));
    EXPECT_EQ(occurrences(svg, "<polyline"), 2U);
    EXPECT_TRUE(contains(svg, ">3</text>"));
    EXPECT_TRUE(contains(svg, ">1</text>"));
    EXPECT_TRUE(contains(svg, ">00:00</text>"));
    EXPECT_TRUE(contains(svg, ">24:00</text>"));
}

TEST(StatusPageTest, AFlatDayIsALevelLine) {
    const std::string svg = plotSvg("HT1", dayWith({{0, 5.0}, {180, 5.0}, {86399, 5.0}}));
    EXPECT_TRUE(contains(svg, ",143.0 "));
    EXPECT_FALSE(contains(svg, "nan"));
    EXPECT_FALSE(contains(svg, "inf"));
    EXPECT_EQ(occurrences(svg, ">5</text>"), 1U);
}

TEST(StatusPageTest, PageShowsTheStationWithMarkedRowsAndPlots) {
    StatusSnapshot snapshot = test::sampleSnapshot();
    snapshot.site = "Ridge <1>";
    const std::string page = statusPage(snapshot, {{"HT1_123456", dayWith({{0, 1.0}})}});
    for (const char* part : {
             "<!DOCTYPE html>",
             "<meta http-equiv=\"refresh\" content=\"5\">",
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">",
             "<title>TORVEN Ridge &lt;1&gt; status</title>",
             "<dd class=\"site\">Ridge &lt;1&gt;</dd>",
             "<dd class=\"time\">2011-05-04 00:00:15</dd>",
             "<tr class=\"stream\" data-stream=\"HT1_123456\">",
             ">ON-Line: COM3</td>",
             ">Disconnected</td>",
             "<td class=\"id\">HT1_123456</td><td class=\"value\">+12.345</td>",
             "<td class=\"status st-logging\">LOGGING</td><td class=\"rate\">1</td>",
             "<td class=\"type\">Unassigned</td>",
             "<tr class=\"stream\" data-stream=\"A&quot;b\\c\nd\">",
             "<td class=\"status st-alarm\">COM LINK OFF</td>",
             "<svg class=\"plot\" data-stream=\"HT1_123456\"",
             "<p class=\"no-rows\" data-stream=\"A&quot;b\\c\nd\">No rows today</p>",
         }) {
        EXPECT_TRUE(contains(page, part)) << part;
    }
    EXPECT_FALSE(contains(page, "config-error\""));
    // Self-contained: nothing to fetch and nothing to run.
    for (const char* part : {"<script", "src=", "href=", "url(", "<link"})
        EXPECT_FALSE(contains(page, part)) << part;
}

TEST(StatusPageTest, TheConfigurationErrorIsShownEscaped) {
    StatusSnapshot snapshot = test::sampleSnapshot();
    snapshot.configurationError = "Line 3: \"SITE\" <missing>";
    const std::string page = statusPage(snapshot, {});
    EXPECT_TRUE(contains(page,
                         "<div class=\"config-error\" role=\"alert\">Line 3: "
                         "&quot;SITE&quot; &lt;missing&gt;</div>"));
    EXPECT_EQ(occurrences(page, "No rows today"), 2U);
}

}  // namespace
}  // namespace torven
