#include "support/ScratchStation.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace torven::test {

namespace fs = std::filesystem;

namespace {

fs::path makeTemporaryDirectory() {
    std::string pattern = (fs::temp_directory_path() / "torven-station-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    return fs::path(pattern);
}

}  // namespace

ScratchStation::ScratchStation() : root_(makeTemporaryDirectory()) {
    for (const char* folder : {"bin", "Conf", "EventLog", "tmp", "Data", "ToSend", "Ports"}) {
        fs::create_directory(root_ / folder);
    }
    for (int port = 1; port <= 20; ++port) {
        fs::create_symlink(root_ / "Ports" / ("unplugged-COM" + std::to_string(port)),
                           portLink(port));
    }
    previousDirectory_ = fs::current_path();
    fs::current_path(root_ / "bin");
}

ScratchStation::~ScratchStation() {
    std::error_code ignored;
    fs::current_path(previousDirectory_, ignored);
    fs::remove_all(root_, ignored);
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
