#pragma once

#include "remote/StatusSnapshot.h"

namespace torven::test {

// A station in data collection, for the remote status answers: COM3 connected with stream
// HT1_123456 on channel 1 (LOGGING, 12.345) and an unassigned channel 2; COM7 disconnected
// with a stream on channel 1 whose ID holds a quote, a backslash and a line feed (COM LINK
// OFF, no reading, no row yet).
StatusSnapshot sampleSnapshot();

// The ID of the COM7 stream.
inline constexpr const char* awkwardStreamId = "A\"b\\c\nd";

}  // namespace torven::test
