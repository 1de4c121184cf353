#pragma once

#include <cstdint>
#include <string_view>

namespace torven {

// A configuration value read as a decimal integer the way atol reads it: leading white space
// is skipped, an optional sign is taken, then digits up to the first other character; no
// digits give 0. Values beyond the 32-bit range are held at its ends.
std::int32_t decimalValue(std::string_view text);

}  // namespace torven
