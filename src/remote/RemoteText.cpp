#include "remote/RemoteText.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace torven {

namespace {

constexpr std::string_view replacementCharacter = "\xEF\xBF\xBD";
constexpr std::int64_t secondsPerDay = 86400;

bool isContinuation(unsigned char byte, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 sequence at text[position]; 0 when there is none.
std::size_t sequenceLength(std::string_view text, std::size_t position) {
    const auto at = [&](std::size_t index) {
        return position + index < text.size() ? static_cast<unsigned char>(text[position + index])
                                              : static_cast<unsigned char>(0);
    };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return isContinuation(at(1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char low = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = lead == 0xED ? 0x9F : 0xBF;
        return isContinuation(at(1), low, high) && isContinuation(at(2)) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char low = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = lead == 0xF4 ? 0x8F : 0xBF;
        return isContinuation(at(1), low, high) && isContinuation(at(2)) && isContinuation(at(3))
                   ? 4
                   : 0;
    }
    return 0;
}

bool isControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

std::chrono::year_month_day calendarDate(std::int64_t dayNumber) {
    return std::chrono::year_month_day{
        std::chrono::sys_days{std::chrono::days{static_cast<std::chrono::days::rep>(dayNumber)}}};
}

}  // namespace

std::string validUtf8(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t length = sequenceLength(text, position);
        if (length == 0) {
            result += replacementCharacter;
            ++position;
        } else {
            result += text.substr(position, length);
            position += length;
        }
    }
    return result;
}

std::string htmlEscaped(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (const char character : validUtf8(text)) {
        switch (character) {
            case '&':
                result += "&amp;";
                break;
            case '<':
                result += "&lt;";
                break;
            case '>':
                result += "&gt;";
                break;
            case '"':
                result += "&quot;";
                break;
            case '\'':
                result += "&#39;";
                break;
            case '\t':
            case '\n':
            case '\r':
                result += character;
                break;
            default:
                if (isControl(static_cast<unsigned char>(character)))
                    result += replacementCharacter;
                else
                    result += character;
        }
    }
    return result;
}

std::string jsonQuoted(std::string_view text) {
    std::string result = "\"";
    for (const char character : validUtf8(text)) {
        const auto byte = static_cast<unsigned char>(character);
        if (character == '"' || character == '\\') {
            result += '\\';
            result += character;
        } else if (isControl(byte)) {
            std::array<char, 8> escape{};
            std::snprintf(escape.data(), escape.size(), "\\u%04x", static_cast<unsigned>(byte));
            result += escape.data();
        } else {
            result += character;
        }
    }
    return result + '"';
}

std::string numberText(double value) {
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::int64_t utcDayNumber(std::int64_t epochSeconds) {
    const std::int64_t day = epochSeconds / secondsPerDay;
    return epochSeconds % secondsPerDay < 0 ? day - 1 : day;
}

std::string isoUtcText(std::int64_t epochSeconds) {
    const std::int64_t day = utcDayNumber(epochSeconds);
    const std::int64_t second = epochSeconds - day * secondsPerDay;
    std::array<char, 16> time{};
    std::snprintf(time.data(), time.size(), "T%02d:%02d:%02dZ", static_cast<int>(second / 3600),
                  static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
    return dateText(day) + time.data();
}

std::string dateTag(std::int64_t dayNumber) {
    const std::chrono::year_month_day date = calendarDate(dayNumber);
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "%04d%02u%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text.data();
}

std::string dateText(std::int64_t dayNumber) {
    const std::chrono::year_month_day date = calendarDate(dayNumber);
    std::array<char, 24> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text.data();
}

std::string_view withoutBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace torven
