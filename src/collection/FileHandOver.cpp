#include "collection/FileHandOver.h"

#include "config/SiteConfiguration.h"
#include "platform/FileSystem.h"

namespace torven {

namespace {

constexpr std::size_t dateLength = 8;

std::string todayText(const TimeStamp& clock) {
    return clock.yearText() + clock.monthText() + clock.dayText();
}

// The directory text without its trailing backslash, as the file status query wants it.
std::string withoutTrailingSeparator(const std::string& directory) {
    return directory.empty() ? directory : directory.substr(0, directory.size() - 1);
}

}  // namespace

void handOverFiles(const SiteConfiguration& site, bool skipCurrentDay) {
    const std::string today = todayText(site.modeController.clock);
    const bool toSendUsable = platform::isDirectory(withoutTrailingSeparator(site.toSendDirectory));
    for (const std::string& name : platform::listFiles(site.tmpDirectory, ".csv")) {
        if (skipCurrentDay && name.compare(0, dateLength, today) == 0)
            continue;
        const std::string source = site.tmpDirectory + name;
        // A file that did not reach ToSend whole stays here and is offered again next time.
        if (toSendUsable && !platform::copyFileAtomically(source, site.toSendDirectory + name)) {
            continue;
        }
        // The rename replaces the running copy the writer keeps in the Data directory.
        platform::renameFile(source, site.dataDirectory + name);
    }
}

}  // namespace torven
