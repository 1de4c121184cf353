#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace torven {

// What the command line asks for. Without options the monitor runs as it always has.
struct CommandLine {
    bool help = false;
    // The remote status server's address and port; none when it is off.
    std::optional<std::string> httpAddress;
    std::uint16_t httpPort = 0;
    // The file whose first line is the bearer token every remote status request must bring.
    std::optional<std::string> tokenFile;
};

// The exit status of a monitor started with options it does not understand.
inline constexpr int usageErrorStatus = 64;
// The exit status of a monitor whose remote status server cannot start.
inline constexpr int remoteStatusFailedStatus = 3;

// Reads the arguments after the program name; none, with the reason in problem, when one is
// unknown or malformed.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& problem);

// The text --help prints.
std::string usageText();

}  // namespace torven
