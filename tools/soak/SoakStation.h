#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace torven::soak {

// A station folder for one soak run under /tmp: bin/ (the monitor's working directory),
// Conf/, EventLog/, tmp/, Data/, ToSend/, Ports/ and Removed/ (where folders taken away
// during the run are kept), with every port COM1..COM20 a dangling link, so that the monitor
// can never reach a real serial port. Data can be a link to a folder under /dev/shm, another
// filesystem than /tmp's. Removed at the end unless it is to be kept for inspection.
class SoakStation {
  public:
    static std::unique_ptr<SoakStation> create(bool keep, bool dataOnTmpfs, std::string& message);
    SoakStation(std::filesystem::path root, bool keep) : root_(std::move(root)), keep_(keep) {}
    SoakStation(const SoakStation&) = delete;
    SoakStation& operator=(const SoakStation&) = delete;
    ~SoakStation();

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path path(const std::string& relative) const { return root_ / relative; }
    std::filesystem::path portLink(int portNumber) const;
    bool writeFile(const std::string& relative, const std::string& content) const;
    // Writes the file whole under another name first, so that a reader never sees half of it.
    bool replaceFile(const std::string& relative, const std::string& content) const;
    // The folder for the monitor's data files under /dev/shm, when Data lives there.
    const std::optional<std::filesystem::path>& tmpfsRoot() const { return tmpfsRoot_; }

    // Moves a station folder into Removed/, under its name and a number.
    bool takeAway(const std::string& folder, std::string& message);
    // Makes a station folder anew, empty; Data on /dev/shm again when it was there.
    bool makeFolder(const std::string& folder, std::string& message);

  private:
    std::filesystem::path root_;
    bool keep_;
    std::optional<std::filesystem::path> tmpfsRoot_;
    int takenAway_ = 0;
};

}  // namespace torven::soak
