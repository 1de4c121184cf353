#pragma once

#include <cstdint>
#include <string>

namespace torven {

// The state of a data stream as the console shows it.
enum class CollectionStatus : std::int32_t {
    OffLine = 0,
    OnLine = 1,
    Logging = 2,
    FileWriteError = 3,
    ComLinkOff = 4,
};

// "OFF-LINE", "ON-LINE", "LOGGING", "FILE WRITE ERROR", "COM LINK OFF"; any other code gives
// "ERROR: Bad Status value (internal Software error)".
std::string statusWord(CollectionStatus status);

}  // namespace torven
