#include "soak/ProcessFigures.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace torven::soak {

namespace {

std::optional<std::string> readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::optional<long long> wholeNumber(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0')
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<ProcessFigures> ProcessFigures::sample(int pid) {
    const std::string folder = "/proc/" + std::to_string(pid) + "/";
    const auto stat = readWhole(folder + "stat");
    const auto status = readWhole(folder + "status");
    if (!stat || !status)
        return std::nullopt;
    const auto cpu = cpuSecondsFromStat(*stat, sysconf(_SC_CLK_TCK));
    const auto rss = rssKibFromStatus(*status);
    if (!cpu || !rss)
        return std::nullopt;
    return ProcessFigures{*cpu, *rss};
}

std::optional<double> cpuSecondsFromStat(std::string_view statText, long ticksPerSecond) {
    // The command name in parentheses may hold blanks and parentheses itself, so the fields
    // are counted from the last closing parenthesis: state is field 3, utime 14, stime 15.
    const std::size_t nameEnd = statText.rfind(')');
    if (nameEnd == std::string_view::npos || ticksPerSecond <= 0)
        return std::nullopt;
    std::istringstream fields{std::string(statText.substr(nameEnd + 1))};
    std::vector<std::string> after;
    for (std::string field; after.size() < 13 && fields >> field;)
        after.push_back(field);
    if (after.size() < 13)
        return std::nullopt;
    const auto user = wholeNumber(after[11]);
    const auto system = wholeNumber(after[12]);
    if (!user || !system)
        return std::nullopt;
    return static_cast<double>(*user + *system) / static_cast<double>(ticksPerSecond);
}

std::optional<long> rssKibFromStatus(std::string_view statusText) {
    constexpr std::string_view kKey = "VmRSS:";
    std::size_t line = 0;
    while (line < statusText.size()) {
        const std::size_t end = statusText.find('\n', line);
        const std::string_view text = statusText.substr(line, end - line);
        if (text.substr(0, kKey.size()) == kKey) {
            std::istringstream value{std::string(text.substr(kKey.size()))};
            long kib = 0;
            std::string unit;
            if (value >> kib >> unit && unit == "kB")
                return kib;
            return std::nullopt;
        }
        if (end == std::string_view::npos)
            break;
        line = end + 1;
    }
    return std::nullopt;
}

}  // namespace torven::soak
