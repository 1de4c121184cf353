#include "collection/FileHandOver.h"

#include <cstdint>
#include <optional>
#include <string>

#include "config/SiteConfiguration.h"
#include "platform/FileSystem.h"

namespace torven {

namespace {

constexpr std::size_t dateLength = 8;
const std::string sentPrefix = ".";
const std::string sentSuffix = ".sent";

std::string todayText(const TimeStamp& clock) {
    return clock.yearText() + clock.monthText() + clock.dayText();
}

// The directory text without its trailing backslash, as the file status query wants it.
std::string withoutTrailingSeparator(const std::string& directory) {
    return directory.empty() ? directory : directory.substr(0, directory.size() - 1);
}

// The hidden name in tmp of a file that has entered ToSend; it does not match "*.csv", so
// the file is never taken for one that still has to go there.
std::string sentMarker(const std::string& name) {
    return sentPrefix + name + sentSuffix;
}

std::vector<std::string> filesMarkedAsSent(const SiteConfiguration& site) {
    std::vector<std::string> names;
    for (const std::string& marker : platform::listFiles(site.tmpDirectory, ".csv" + sentSuffix)) {
        if (marker.compare(0, sentPrefix.size(), sentPrefix) == 0) {
            names.push_back(marker.substr(sentPrefix.size(),
                                          marker.size() - sentPrefix.size() - sentSuffix.size()));
        }
    }
    return names;
}

// A file of the current day, or one a stream is writing (after the wall clock stepped back
// across midnight, the new day's current file carries an earlier date).
bool isStillWritten(const SiteConfiguration& site, const std::string& name) {
    if (name.compare(0, dateLength, todayText(site.modeController.clock)) == 0)
        return true;
    const DataLogger& streams = site.modeController.dataLogger;
    for (int index = 0; index < streams.count(); ++index) {
        if (streams.typeAt(index)->currentFileName() == name)
            return true;
    }
    return false;
}

bool isLongerThanFile(const std::string& path, const std::string& other) {
    const std::optional<std::uint64_t> size = platform::fileSize(other);
    return size && platform::isLongerThan(path, *size);
}

void warnAboutFile(SiteConfiguration& site, const std::string& name, const std::string& why) {
    site.handOverWarnings.warnOnce(name, "Can't hand over file:" + name + " " + why);
}

// Whether source can replace the Data copy of name: the Data directory is there and holds
// no longer file and no folder of that name.
bool dataTakes(SiteConfiguration& site, const std::string& name, const std::string& source) {
    if (!platform::isDirectory(withoutTrailingSeparator(site.dataDirectory))) {
        site.handOverWarnings.warnOnce(site.dataDirectory,
                                       "Can't hand over files: " + site.dataDirectory + " missing");
        return false;
    }
    site.handOverWarnings.resolve(site.dataDirectory);
    if (isLongerThanFile(site.dataDirectory + name, source)) {
        warnAboutFile(site, name, "Longer file in " + site.dataDirectory);
        return false;
    }
    if (platform::isDirectory(site.dataDirectory + name)) {
        warnAboutFile(site, name, "Can't move it into " + site.dataDirectory);
        return false;
    }
    return true;
}

// Moves source into Data, which the caller has found able to take it.
void moveIntoData(SiteConfiguration& site, const std::string& name, const std::string& source) {
    // The move replaces the running copy the writer keeps in the Data directory.
    if (!platform::moveFile(source, site.dataDirectory + name)) {
        warnAboutFile(site, name, "Can't move it into " + site.dataDirectory);
        return;
    }
    site.handOverWarnings.resolve(name);
}

// The file of name has entered ToSend: its copy there, staged before it was marked as sent,
// is published (when a crash came in between, now). False when that failed.
bool publishToSend(SiteConfiguration& site, const std::string& name) {
    const std::string target = site.toSendDirectory + name;
    if (platform::hasStagedCopy(target) && !platform::publishStagedCopy(target)) {
        warnAboutFile(site, name, "Can't copy it into " + site.toSendDirectory);
        return false;
    }
    return true;
}

// A file marked as sent by an earlier hand-over: its ToSend copy is published and the file
// moves into Data once Data can take it.
void finishHandOver(SiteConfiguration& site, const std::string& name) {
    const std::string marker = site.tmpDirectory + sentMarker(name);
    if (publishToSend(site, name) && dataTakes(site, name, marker))
        moveIntoData(site, name, marker);
}

// Stages the ToSend copy, then renames the file to its sent marker. The copy is on disk
// before the marker is, and shown in ToSend only after it: a crash before the marker
// leaves a hidden copy that is made anew, a crash after it one that is published.
bool markAsSent(SiteConfiguration& site, const std::string& name) {
    const std::string source = site.tmpDirectory + name;
    const std::string target = site.toSendDirectory + name;
    if (isLongerThanFile(target, source)) {
        warnAboutFile(site, name, "Longer file in " + site.toSendDirectory);
        return false;
    }
    if (platform::isDirectory(target) || !platform::stageCopy(source, target)) {
        warnAboutFile(site, name, "Can't copy it into " + site.toSendDirectory);
        return false;
    }
    if (!platform::moveFile(source, site.tmpDirectory + sentMarker(name))) {
        platform::removeStagedCopy(target);
        warnAboutFile(site, name, "Can't mark it as sent");
        return false;
    }
    return true;
}

void handOver(SiteConfiguration& site, const std::string& name, bool toSendUsable) {
    const std::string source = site.tmpDirectory + name;
    // Nothing goes to ToSend before Data can take the file as well; the file waits as it is.
    if (!dataTakes(site, name, source))
        return;
    if (!toSendUsable) {
        moveIntoData(site, name, source);
        return;
    }
    if (markAsSent(site, name) && publishToSend(site, name))
        moveIntoData(site, name, site.tmpDirectory + sentMarker(name));
}

}  // namespace

void handOverFiles(SiteConfiguration& site, bool skipCurrentDay) {
    const bool toSendUsable = platform::isDirectory(withoutTrailingSeparator(site.toSendDirectory));
    for (const std::string& name : filesMarkedAsSent(site))
        finishHandOver(site, name);
    for (const std::string& name : platform::listFiles(site.tmpDirectory, ".csv")) {
        if (!skipCurrentDay || !isStillWritten(site, name))
            handOver(site, name, toSendUsable);
    }
}

void removeInterruptedCopies(const SiteConfiguration& site) {
    for (const std::string& name : platform::stagedCopies(site.dataDirectory))
        platform::removeStagedCopy(site.dataDirectory + name);
    for (const std::string& name : platform::stagedCopies(site.toSendDirectory)) {
        if (!platform::fileSize(site.tmpDirectory + sentMarker(name)))
            platform::removeStagedCopy(site.toSendDirectory + name);
    }
}

}  // namespace torven
