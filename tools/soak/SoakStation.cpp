#include "soak/SoakStation.h"

#include <stdlib.h>

#include <cstring>
#include <fstream>

namespace torven::soak {

namespace fs = std::filesystem;

std::unique_ptr<SoakStation> SoakStation::create(bool keep, std::string& message) {
    std::string pattern = "/tmp/torven-soak-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        message = std::string("cannot make the station folder: ") + std::strerror(errno);
        return nullptr;
    }
    auto station = std::make_unique<SoakStation>(fs::path(pattern), keep);
    std::error_code error;
    for (const char* folder : {"bin", "Conf", "EventLog", "tmp", "Data", "ToSend", "Ports"}) {
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
    return station;
}

SoakStation::~SoakStation() {
    if (keep_)
        return;
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

fs::path SoakStation::portLink(int portNumber) const {
    return root_ / "Ports" / ("COM" + std::to_string(portNumber));
}

bool SoakStation::writeFile(const std::string& relative, const std::string& content) const {
    std::ofstream out(path(relative), std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

}  // namespace torven::soak
