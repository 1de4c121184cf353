#include "collection/HandOverWarnings.h"

#include "eventlog/EventLog.h"

namespace torven {

void HandOverWarnings::warnOnce(const std::string& key, std::string message) {
    if (open_.insert(key).second)
        logEvent(LogLevel::WARN, std::move(message));
}

}  // namespace torven
