#pragma once

#include <string>

namespace torven {

enum class LogLevel { CONF = 0, INFO = 1, WARN = 2, ERROR = 3, FATAL = 4 };

// "CONF", "INFO", "WARN", "ERROR" or "FATAL".
std::string levelName(LogLevel level);

}  // namespace torven
