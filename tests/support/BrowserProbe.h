#pragma once

#include <filesystem>
#include <string>

#include "support/ProgramRun.h"

namespace torven::test {

// Loads a page in headless Chromium and takes the document as the browser built it (its DOM
// serialised as HTML): what a person's browser would show, after parsing and without the
// server's own view of its markup. Each load uses a fresh profile in a folder of the test,
// and reaches nothing but the page (no updates, no sync, no background requests).
class BrowserProbe {
  public:
    explicit BrowserProbe(std::filesystem::path profileFolder)
        : profileFolder_(std::move(profileFolder)) {}

    // The browser's run: its output is the DOM; no status when it did not end in time.
    ProgramRun dumpDom(const std::string& url) const;

  private:
    std::filesystem::path profileFolder_;
};

}  // namespace torven::test
