#include "support/ScratchStation.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "support/HostSystem.h"

namespace torven::test {

namespace fs = std::filesystem;

namespace {

// Names the folder of a station that a death test's child process works in.
constexpr const char* sharedStationVariable = "TORVEN_TEST_SHARED_STATION";

// A new folder of a random name in the system's temporary folder; create_directory is
// false when the name is taken, so two tests never share a folder.
fs::path makeTemporaryDirectory() {
    static std::mt19937_64 names{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    const fs::path temporary = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "torven-station-" << std::hex << names();
        if (fs::create_directory(temporary / name.str()))
            return temporary / name.str();
    }
    throw std::runtime_error("no scratch station folder could be made");
}

// On Linux a port COMn is opened through Ports/COMn when that exists, else as a real serial
// device; a dangling link keeps every test away from the real ones. Windows opens \\.\COMn
// and has no such links.
void unplugEveryPort([[maybe_unused]] const ScratchStation& station) {
#ifndef _WIN32
    for (int port = 1; port <= 20; ++port) {
        fs::create_symlink(station.path("Ports/unplugged-COM" + std::to_string(port)),
                           station.portLink(port));
    }
#endif
}

}  // namespace

ScratchStation::ScratchStation() {
    const char* shared = std::getenv(sharedStationVariable);
    if (shared != nullptr && fs::is_directory(shared)) {
        root_ = shared;
        ownsFolder_ = false;
    } else {
        root_ = makeTemporaryDirectory();
        for (const char* folder : {"bin", "Conf", "EventLog", "tmp", "Data", "ToSend", "Ports"})
            fs::create_directory(root_ / folder);
        unplugEveryPort(*this);
    }
    previousDirectory_ = fs::current_path();
    fs::current_path(root_ / "bin");
}

ScratchStation::~ScratchStation() {
    std::error_code ignored;
    fs::current_path(previousDirectory_, ignored);
    if (!ownsFolder_)
        return;
    if (shared_)
        removeEnvironmentVariable(sharedStationVariable);
    fs::remove_all(root_, ignored);
}

void ScratchStation::shareWithDeathTestChild() {
    setEnvironmentVariable(sharedStationVariable, root_.string().c_str());
    shared_ = true;
}

fs::path ScratchStation::portLink(int portNumber) const {
    return root_ / "Ports" / ("COM" + std::to_string(portNumber));
}

void ScratchStation::writeFile(const std::string& relative, const std::string& content) const {
    std::ofstream out(path(relative), std::ios::binary | std::ios::trunc);
    out << content;
}

std::string ScratchStation::readFile(const std::string& relative) const {
    std::ifstream in(path(relative), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool ScratchStation::exists(const std::string& relative) const {
    return fs::exists(path(relative));
}

std::vector<std::string> ScratchStation::eventLogLines() const {
    std::vector<std::string> lines;
    for (const std::string& name : fileNames("EventLog")) {
        std::istringstream content(readFile("EventLog/" + name));
        for (std::string line; std::getline(content, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> ScratchStation::eventLogMessages() const {
    std::vector<std::string> messages;
    for (const std::string& line : eventLogLines()) {
        const auto open = line.find('"');
        if (open == std::string::npos || line.size() < open + 2)
            continue;
        messages.push_back(line.substr(open + 1, line.size() - open - 2));
    }
    return messages;
}

std::vector<std::string> ScratchStation::fileNames(const std::string& folder) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path(folder), error)) {
        if (entry.is_regular_file())
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace torven::test
