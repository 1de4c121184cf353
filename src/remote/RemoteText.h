#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Texts shared by the remote status answers: escapes for HTML and JSON, numbers and UTC times.
namespace torven {

// The text with every byte that is not part of a well-formed UTF-8 sequence replaced by
// U+FFFD, so that no answer ever carries invalid UTF-8.
std::string validUtf8(std::string_view text);

// The text without the spaces, tabs and carriage returns around it.
std::string_view withoutBlanks(std::string_view text);

// Text for HTML content and attribute values: & < > " ' as entities, control characters
// other than tab, CR and LF replaced by U+FFFD, invalid UTF-8 as in validUtf8.
std::string htmlEscaped(std::string_view text);

// A JSON string literal, quotes included: " and \ escaped, control characters as \u00XX,
// invalid UTF-8 as in validUtf8.
std::string jsonQuoted(std::string_view text);

// The shortest text that reads back as the same double ("1.5", "-0.25", "1e+20"); "NaN",
// "+Inf" and "-Inf" for the values that are not finite.
std::string numberText(double value);

// Days since 1970-01-01 of an instant (seconds since the epoch), also before the epoch.
std::int64_t utcDayNumber(std::int64_t epochSeconds);
// "YYYY-MM-DDThh:mm:ssZ".
std::string isoUtcText(std::int64_t epochSeconds);
// "YYYYMMDD" of a day number, as data file names begin.
std::string dateTag(std::int64_t dayNumber);
// "YYYY-MM-DD" of a day number.
std::string dateText(std::int64_t dayNumber);

}  // namespace torven
