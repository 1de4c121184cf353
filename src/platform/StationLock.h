#pragma once

#include <memory>
#include <string>

namespace torven::platform {

// Keeps a station to one monitor: an exclusive lock on a file in the station folder, taken
// without waiting when the object is made and held for as long as it lives. The kernel lets
// go of the lock when the process ends in any way, so a lock file left behind by a monitor
// that is gone is no obstacle. The holder writes its process id into the file, so that a
// monitor turned away can name it.
class StationLock {
  public:
    enum class State {
        Held,           // this process holds the station
        HeldByAnother,  // another process holds it
        Unusable        // the lock file could not be opened, created or locked
    };

    // lockFilePath is a path text such as "..\torven-monitor.lock"; its folder is the station.
    explicit StationLock(const std::string& lockFilePath);
    StationLock(const StationLock&) = delete;
    StationLock& operator=(const StationLock&) = delete;
    ~StationLock();

    State state() const { return state_; }
    bool held() const { return state_ == State::Held; }
    // The station folder as an absolute path, for messages.
    const std::string& stationPath() const { return stationPath_; }
    // The process id the lock file names while another process holds it; 0 when it names
    // none.
    long holderProcessId() const { return holderProcessId_; }
    // Why the lock file is unusable; empty otherwise.
    const std::string& problem() const { return problem_; }

  private:
    class OpenFile;

    State state_ = State::Unusable;
    std::string stationPath_;
    long holderProcessId_ = 0;
    std::string problem_;
    std::unique_ptr<OpenFile> file_;
};

}  // namespace torven::platform
