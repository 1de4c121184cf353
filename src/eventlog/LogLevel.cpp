#include "eventlog/LogLevel.h"

#include <array>

namespace torven {

std::string levelName(LogLevel level) {
    static constexpr std::array<const char*, 5> names = {"CONF", "INFO", "WARN", "ERROR", "FATAL"};
    const auto index = static_cast<std::size_t>(level);
    return index < names.size() ? names[index] : "";
}

}  // namespace torven
