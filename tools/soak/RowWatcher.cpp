#include "soak/RowWatcher.h"

#include <sys/stat.h>

#include "soak/SoakAnalysis.h"

namespace torven::soak {

namespace fs = std::filesystem;

namespace {

// How often tmp/ is searched again for a stream's newer file, in seconds: often enough that a
// new file holds at most one row when it is found, since a growth is only seen as such.
constexpr double kSearchInterval = 0.25;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

RowWatcher::RowWatcher(fs::path tmpFolder, std::vector<std::string> streamIds)
    : tmpFolder_(std::move(tmpFolder)) {
    for (const std::string& id : streamIds)
        watched_.push_back({"_" + id + ".csv", {}, 0, {}});
}

void RowWatcher::poll(double now) {
    if (now >= nextSearch_) {
        findNewestFiles();
        nextSearch_ = now + kSearchInterval;
    }
    for (Watched& stream : watched_) {
        struct stat status {};
        if (stream.file.empty() || stat(stream.file.c_str(), &status) != 0)
            continue;
        const auto size = static_cast<std::uintmax_t>(status.st_size);
        if (size == stream.size)
            continue;
        // The file's modification time is when the row was written, closer than this poll.
        if (size > stream.size) {
            stream.growths.push_back(static_cast<double>(status.st_mtim.tv_sec) +
                                     static_cast<double>(status.st_mtim.tv_nsec) * 1e-9);
        }
        stream.size = size;
    }
}

void RowWatcher::findNewestFiles() {
    std::vector<std::string> newest(watched_.size());
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(tmpFolder_, error)) {
        const std::string name = entry.path().filename().string();
        if (!parseDataFileName(name))
            continue;
        for (std::size_t i = 0; i < watched_.size(); ++i) {
            // Names start with the date and start time, so the greatest name is the newest.
            if (endsWith(name, watched_[i].suffix) && name > newest[i])
                newest[i] = name;
        }
    }
    for (std::size_t i = 0; i < watched_.size(); ++i) {
        if (newest[i].empty() || tmpFolder_ / newest[i] == watched_[i].file)
            continue;
        // A new file: its first row counts as a growth from nothing.
        watched_[i].file = tmpFolder_ / newest[i];
        watched_[i].size = 0;
    }
}

}  // namespace torven::soak
