#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <string>

namespace torven {

class Console;

// The port-scan screen of the menu loop. The probe runs on a thread of its own, so that the
// main loop goes on collecting data while the ports are tried; the screen shows "Scanning..."
// until the report is in, then the report and a prompt that stands until a key comes or
// resultStandsMilliseconds have passed, so that a station is never left on it. Only the main
// thread draws; the probe thread touches nothing but what the probe makes for itself.
class ScanScreen {
  public:
    // Tries the ports and returns the report. It runs beside the main loop, so it may use only
    // objects of its own, and it never takes the program lock.
    using Probe = std::function<std::string()>;

    // How long the report stands without a key before the status display comes back.
    static constexpr std::int64_t resultStandsMilliseconds = 60'000;

    // Draws the heading (the screen has been cleared) and starts the probe.
    ScanScreen(Console& console, Probe probe);

    // Once per cycle, with the key polled (0 for none) and the monotonic time in milliseconds:
    // true when the screen is over, that is when a key came or the time ran out after the
    // report was shown. A key that comes while the probe still runs is dropped: it cannot
    // answer a report nobody has seen yet.
    bool isOver(int key, std::int64_t nowMilliseconds) const;
    // Prints the report and the prompt once the probe has delivered it.
    void showReportWhenReady(std::int64_t nowMilliseconds);
    // Draws the whole screen again, after something else (a configuration reload) drew over it.
    void redraw();

  private:
    bool probeDone();
    void showReport();

    Console& console_;
    // Of std::async: going away, it waits for a probe still running, so that a loop that ends
    // never leaves the thread behind.
    std::future<std::string> pending_;
    std::optional<std::string> report_;
    std::int64_t reportShownAt_ = 0;
};

}  // namespace torven
