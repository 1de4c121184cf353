#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace torven::soak {

// Watches the growing data files of some streams in a station's tmp/ folder and notes when
// each one grew, that is when the monitor wrote a row. A stream's current file is the newest
// of its name in tmp/ (a new UTC day or a restart starts a new one).
class RowWatcher {
  public:
    RowWatcher(std::filesystem::path tmpFolder, std::vector<std::string> streamIds);

    // Looks at every file once; `now` (seconds since the epoch) paces the searches of tmp/.
    void poll(double now);
    // The growth times (the files' modification times, seconds since the epoch) of the stream at
    // this position of the list given at construction.
    const std::vector<double>& growths(std::size_t stream) const {
        return watched_.at(stream).growths;
    }

  private:
    struct Watched {
        std::string suffix;  // "_" + stream ID + ".csv"
        std::filesystem::path file;
        std::uintmax_t size = 0;
        std::vector<double> growths;
    };
    void findNewestFiles();

    std::filesystem::path tmpFolder_;
    std::vector<Watched> watched_;
    double nextSearch_ = 0.0;
};

}  // namespace torven::soak
