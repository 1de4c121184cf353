#pragma once

#include <set>
#include <string>

namespace torven {

// What the hand-over has reported and is not yet resolved, so that a file that has to wait
// is logged once and not at every quarter minute. Kept for the program's run; after a
// restart a file still waiting is reported once more.
class HandOverWarnings {
  public:
    // Logs the message at WARN unless a warning under key is still open.
    void warnOnce(const std::string& key, std::string message);
    // The matter under key is resolved; a later warning under it is logged again.
    void resolve(const std::string& key) { open_.erase(key); }

  private:
    std::set<std::string> open_;
};

}  // namespace torven
