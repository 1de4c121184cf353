#include "support/BrowserProbe.h"

#include <stdlib.h>

#include <chrono>

namespace torven::test {

ProgramRun BrowserProbe::dumpDom(const std::string& url) const {
    std::filesystem::create_directories(profileFolder_);
    std::string profile = (profileFolder_ / "chromium-XXXXXX").string();
    if (::mkdtemp(profile.data()) == nullptr)
        return {};
    // A browser starts slowly on a loaded machine: the time-out is a ceiling, not a target.
    return ProgramRun::toEnd({"chromium", "--headless", "--no-sandbox", "--disable-gpu",
                              "--disable-quic", "--no-first-run", "--disable-background-networking",
                              "--disable-component-update", "--disable-sync", "--disable-breakpad",
                              "--no-proxy-server", "--user-data-dir=" + profile, "--dump-dom", url},
                             {.timeout = std::chrono::seconds(90)});
}

}  // namespace torven::test
