#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace torven::soak {

// A station folder for one soak run under /tmp: bin/ (the monitor's working directory),
// Conf/, EventLog/, tmp/, Data/, ToSend/ and Ports/, with every port COM1..COM20 a dangling
// link, so that the monitor can never reach a real serial port. Removed at the end unless it
// is to be kept for inspection.
class SoakStation {
  public:
    static std::unique_ptr<SoakStation> create(bool keep, std::string& message);
    explicit SoakStation(std::filesystem::path root, bool keep)
        : root_(std::move(root)), keep_(keep) {}
    SoakStation(const SoakStation&) = delete;
    SoakStation& operator=(const SoakStation&) = delete;
    ~SoakStation();

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path path(const std::string& relative) const { return root_ / relative; }
    std::filesystem::path portLink(int portNumber) const;
    bool writeFile(const std::string& relative, const std::string& content) const;

  private:
    std::filesystem::path root_;
    bool keep_;
};

}  // namespace torven::soak
