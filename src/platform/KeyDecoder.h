#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace torven::platform {

// Turns the bytes a terminal sends for one key press into the key code of the Win32
// console: plain keys are their byte; cursor and function keys are two codes, the first
// (0 or 224) in the low byte and the scan code in the high byte (F1 = 0 + 59 * 256,
// Up = 224 + 72 * 256). An escape sequence that is not known still counts as one key.
struct DecodedKey {
    int code = 0;
    std::size_t length = 0;  // bytes consumed
};

// Decodes the first key in bytes. None when bytes holds only the beginning of an escape
// sequence and more may follow (`complete` false); with `complete` true a lone ESC is the
// Escape key (27).
std::optional<DecodedKey> decodeKey(std::string_view bytes, bool complete);

}  // namespace torven::platform
