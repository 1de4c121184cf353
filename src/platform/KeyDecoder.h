#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace torven::platform {

// Turns the bytes a terminal sends for one key press into the key code of the Win32
// console: plain keys are their byte; cursor and function keys are two codes, the first
// (0 or 224) in the low byte and the scan code in the high byte (F1 = 0 + 59 * 256,
// Up = 224 + 72 * 256). An escape sequence that is not known still counts as one key.
namespace keys {
inline constexpr int enter = 13;
inline constexpr int backspace = 8;
inline constexpr int escape = 27;
inline constexpr int home = 224 + 71 * 256;
inline constexpr int up = 224 + 72 * 256;
inline constexpr int pageUp = 224 + 73 * 256;
inline constexpr int left = 224 + 75 * 256;
inline constexpr int right = 224 + 77 * 256;
inline constexpr int end = 224 + 79 * 256;
inline constexpr int down = 224 + 80 * 256;
inline constexpr int pageDown = 224 + 81 * 256;
inline constexpr int insert = 224 + 82 * 256;
inline constexpr int deleteKey = 224 + 83 * 256;
inline constexpr int f1 = 0 + 59 * 256;  // F2 to F10 follow with scan codes 60 to 68
inline constexpr int f11 = 224 + 133 * 256;
inline constexpr int f12 = 224 + 134 * 256;
// Control-@ (the byte 0), which the Win32 console also reports as two codes.
inline constexpr int controlAt = 0 + 3 * 256;
// Any escape sequence without a key of its own (modified keys, mouse reports, ...).
inline constexpr int unknownSequence = 0 + 255 * 256;
}  // namespace keys

struct DecodedKey {
    int code = 0;
    std::size_t length = 0;  // bytes consumed
};

// Decodes the first key in bytes. None when bytes is empty or holds only the beginning of an
// escape sequence and more may follow (`complete` false); with `complete` true a lone ESC is
// the Escape key (27) and a cut-off sequence counts as an unknown key.
std::optional<DecodedKey> decodeKey(std::string_view bytes, bool complete);

}  // namespace torven::platform
