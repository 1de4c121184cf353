#pragma once

#include <string>

namespace torven {

// The station computer's current offset from UTC, "+hh:mm" / "-hh:mm" (for example -05:00,
// +05:30); one hour is added while daylight saving is in effect.
std::string utcOffsetText();

// The local zone's current name: the daylight-saving name while it is in effect, else the
// standard name.
std::string timeZoneName();

}  // namespace torven
