#include "soak/SoakStation.h"

#include <stdlib.h>

#include <cstring>
#include <fstream>

namespace torven::soak {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> madeTemporaryFolder(std::string pattern, std::string& message) {
    if (mkdtemp(pattern.data()) == nullptr) {
        message = "cannot make the folder " + pattern + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return fs::path(pattern);
}

}  // namespace

std::unique_ptr<SoakStation> SoakStation::create(bool keep, bool dataOnTmpfs,
                                                 std::string& message) {
    const auto root = madeTemporaryFolder("/tmp/torven-soak-XXXXXX", message);
    if (!root)
        return nullptr;
    auto station = std::make_unique<SoakStation>(*root, keep);
    if (dataOnTmpfs) {
        station->tmpfsRoot_ = madeTemporaryFolder("/dev/shm/torven-soak-XXXXXX", message);
        if (!station->tmpfsRoot_)
            return nullptr;
    }
    std::error_code error;
    for (const char* folder : {"bin", "Conf", "EventLog", "tmp", "ToSend", "Ports", "Removed"}) {
        if (!fs::create_directory(station->path(folder), error))
            break;
    }
    for (int port = 1; port <= 20 && !error; ++port) {
        fs::create_symlink(station->path("Ports/unplugged-COM" + std::to_string(port)),
                           station->portLink(port), error);
    }
    if (error) {
        message = "cannot lay out the station folder: " + error.message();
        return nullptr;
    }
    if (!station->makeFolder("Data", message))
        return nullptr;
    return station;
}

SoakStation::~SoakStation() {
    if (keep_)
        return;
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    if (tmpfsRoot_)
        fs::remove_all(*tmpfsRoot_, ignored);
}

fs::path SoakStation::portLink(int portNumber) const {
    return root_ / "Ports" / ("COM" + std::to_string(portNumber));
}

bool SoakStation::writeFile(const std::string& relative, const std::string& content) const {
    std::ofstream out(path(relative), std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

bool SoakStation::replaceFile(const std::string& relative, const std::string& content) const {
    const std::string partial = relative + ".part";
    std::error_code error;
    if (!writeFile(partial, content))
        return false;
    fs::rename(path(partial), path(relative), error);
    return !error;
}

bool SoakStation::takeAway(const std::string& folder, std::string& message) {
    std::error_code error;
    const fs::path aside = path("Removed") / (folder + "-" + std::to_string(++takenAway_));
    fs::rename(path(folder), aside, error);
    if (error)
        message = "cannot take " + folder + " away: " + error.message();
    return !error;
}

bool SoakStation::makeFolder(const std::string& folder, std::string& message) {
    std::error_code error;
    if (folder == "Data" && tmpfsRoot_) {
        // A fresh folder on /dev/shm each time, so that Data taken away keeps its files.
        const fs::path target = *tmpfsRoot_ / ("Data-" + std::to_string(takenAway_));
        fs::create_directory(target, error);
        if (!error)
            fs::create_directory_symlink(target, path(folder), error);
    } else {
        fs::create_directory(path(folder), error);
    }
    if (error)
        message = "cannot make " + folder + ": " + error.message();
    return !error;
}

}  // namespace torven::soak
