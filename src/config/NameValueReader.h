#pragma once

#include "config/MetaDataList.h"
#include "config/TextReader.h"

namespace torven {

// Names and values read from a file are cut to this many characters.
inline constexpr std::size_t maxItemLength = 1023;

// Reads the next "name = value" item. True with a pair read; false at a line-structure marker,
// which sets the item's name to "FILE" and its value to "EOF", "COMMENT" or "EOL". The item's
// required flag is left alone.
bool readNameValue(TextReader& reader, MetaDataEntry& item);

}  // namespace torven
