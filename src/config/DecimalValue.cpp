#include "config/DecimalValue.h"

#include <algorithm>
#include <limits>

namespace torven {

namespace {

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::int32_t decimalValue(std::string_view text) {
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::size_t i = 0;
    while (i < text.size() && isWhiteSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (magnitude < limit)
            magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (negative)
        return static_cast<std::int32_t>(-std::min(magnitude, limit));
    return static_cast<std::int32_t>(std::min(magnitude, limit - 1));
}

}  // namespace torven
