#pragma once

#include <filesystem>
#include <string>

namespace torven::test {

// A folder on another filesystem than the scratch stations: under /dev/shm (tmpfs), removed
// with everything in it when the object goes away. A station folder replaced by a link to
// it stands for Data or ToSend on a second disk or a network mount.
class ForeignFolder {
  public:
    ForeignFolder();
    ForeignFolder(const ForeignFolder&) = delete;
    ForeignFolder& operator=(const ForeignFolder&) = delete;
    ~ForeignFolder();

    const std::filesystem::path& path() const { return path_; }
    // Replaces the station folder at `link` by a link to this folder; false when the folder
    // is on the same filesystem after all, so a test would not prove anything.
    bool linkFrom(const std::filesystem::path& link) const;

  private:
    std::filesystem::path path_;
};

}  // namespace torven::test
