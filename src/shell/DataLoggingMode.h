#pragma once

#include <string>

namespace torven {

enum class DataLoggingMode { Initialize = 0, DATALOG = 1, CALIBRATE = 2, STOPPED = 3 };

// "Initialize", "DATALOG", "* * *  C A L I B R A T E  * * *" or "STOPPED".
std::string modeDisplayName(DataLoggingMode mode);
// The mode's name for other programs: "INITIALIZE", "DATALOG", "CALIBRATE" or "STOPPED".
std::string modeName(DataLoggingMode mode);

}  // namespace torven
