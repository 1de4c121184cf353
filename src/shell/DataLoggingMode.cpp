#include "shell/DataLoggingMode.h"

#include <array>

namespace torven {

std::string modeDisplayName(DataLoggingMode mode) {
    static constexpr std::array<const char*, 4> names = {
        "Initialize", "DATALOG", "* * *  C A L I B R A T E  * * *", "STOPPED"};
    const auto index = static_cast<std::size_t>(mode);
    return index < names.size() ? names[index] : "";
}

std::string modeName(DataLoggingMode mode) {
    static constexpr std::array<const char*, 4> names = {"INITIALIZE", "DATALOG", "CALIBRATE",
                                                         "STOPPED"};
    const auto index = static_cast<std::size_t>(mode);
    return index < names.size() ? names[index] : "";
}

}  // namespace torven
