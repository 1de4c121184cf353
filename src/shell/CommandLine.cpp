#include "shell/CommandLine.h"

#include <charconv>

namespace torven {

namespace {

constexpr const char* defaultHttpAddress = "127.0.0.1";

std::optional<std::uint16_t> portNumber(const std::string& text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// "PORT", "ADDRESS:PORT" or "[IPv6 ADDRESS]:PORT".
bool readHttpOption(const std::string& value, CommandLine& line, std::string& problem) {
    std::string address = defaultHttpAddress;
    std::string port = value;
    const std::size_t colon = value.rfind(':');
    if (colon != std::string::npos) {
        address = value.substr(0, colon);
        port = value.substr(colon + 1);
        if (address.size() >= 2 && address.front() == '[' && address.back() == ']')
            address = address.substr(1, address.size() - 2);
    }
    const std::optional<std::uint16_t> number = portNumber(port);
    if (address.empty() || !number) {
        problem =
            "--http wants PORT or ADDRESS:PORT with a port from 1 to 65535, not \"" + value + "\"";
        return false;
    }
    line.httpAddress = address;
    line.httpPort = *number;
    return true;
}

}  // namespace

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments,
                                            std::string& problem) {
    CommandLine line;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& option = arguments[index];
        if (option == "--help" || option == "-h") {
            line.help = true;
            continue;
        }
        if (option != "--http" && option != "--http-token-file") {
            problem = "unknown option \"" + option + "\"";
            return std::nullopt;
        }
        if (index + 1 == arguments.size()) {
            problem = option + " needs a value";
            return std::nullopt;
        }
        const std::string& value = arguments[++index];
        if (option == "--http-token-file") {
            line.tokenFile = value;
        } else if (!readHttpOption(value, line, problem)) {
            return std::nullopt;
        }
    }
    if (line.tokenFile && !line.httpAddress) {
        problem = "--http-token-file needs --http";
        return std::nullopt;
    }
    return line;
}

std::string usageText() {
    return "Usage: torven-monitor [--http [ADDRESS:]PORT [--http-token-file FILE]]\n"
           "\n"
           "Run from the station's Bin folder: reads the devices configured in\n"
           "..\\Conf\\TORVEN_config.txt and records their data files.\n"
           "\n"
           "Options:\n"
           "  --http PORT            serve the remote status (/, /metrics, /status.json)\n"
           "                         read-only on 127.0.0.1:PORT\n"
           "  --http ADDRESS:PORT    the same on another numeric address ([::1]:PORT for IPv6)\n"
           "  --http-token-file FILE every request must bring \"Authorization: Bearer TOKEN\",\n"
           "                         TOKEN being the first line of FILE\n"
           "  -h, --help             print this text and end\n";
}

}  // namespace torven
