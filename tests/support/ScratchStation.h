#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace torven::test {

// A station folder of its own for one test: bin/ (made the working directory while the
// station exists), Conf/, EventLog/, tmp/, Data/, ToSend/ and Ports/. On Linux every port
// COM1..COM20 starts as a dangling link in Ports/, so that no test ever reaches a real serial
// port; on Windows, where ports are no links, Ports/ stays empty.
class ScratchStation {
  public:
    ScratchStation();
    ScratchStation(const ScratchStation&) = delete;
    ScratchStation& operator=(const ScratchStation&) = delete;
    ~ScratchStation();

    // Lets the child process of a death test work in this station for as long as it exists:
    // on Windows that child runs the test anew from its start, and the ScratchStation it makes
    // then is this one, left for this one to remove.
    void shareWithDeathTestChild();

    const std::filesystem::path& root() const { return root_; }
    // A path inside the station, e.g. path("tmp/Console.txt").
    std::filesystem::path path(const std::string& relative) const { return root_ / relative; }
    // The link through which the program opens port COMn on Linux.
    std::filesystem::path portLink(int portNumber) const;

    void writeFile(const std::string& relative, const std::string& content) const;
    std::string readFile(const std::string& relative) const;
    bool exists(const std::string& relative) const;
    void writeConfig(const std::string& content) const {
        writeFile("Conf/TORVEN_config.txt", content);
    }

    // The entries of the event log files (all months, in file order), each line without its
    // CR LF.
    std::vector<std::string> eventLogLines() const;
    // Only the quoted messages of the event log entries.
    std::vector<std::string> eventLogMessages() const;
    // Names of the regular files in a station folder, sorted.
    std::vector<std::string> fileNames(const std::string& folder) const;

  private:
    std::filesystem::path root_;
    std::filesystem::path previousDirectory_;
    bool ownsFolder_ = true;
    bool shared_ = false;
};

}  // namespace torven::test
