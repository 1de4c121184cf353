#include "platform/KeyDecoder.h"

#include <array>
#include <utility>

namespace torven::platform {

namespace {

constexpr char escapeByte = '\x1b';
// A sequence that runs longer without its final byte is not a key; it is taken as one
// unknown key so that a stream of garbage cannot hold the keyboard forever.
constexpr std::size_t longestSequence = 32;

constexpr auto knownSequences = std::to_array<std::pair<std::string_view, int>>({
    {"\x1b[A", keys::up},
    {"\x1b[B", keys::down},
    {"\x1b[C", keys::right},
    {"\x1b[D", keys::left},
    {"\x1b[H", keys::home},
    {"\x1b[F", keys::end},
    {"\x1bOA", keys::up},
    {"\x1bOB", keys::down},
    {"\x1bOC", keys::right},
    {"\x1bOD", keys::left},
    {"\x1bOH", keys::home},
    {"\x1bOF", keys::end},
    {"\x1b[1~", keys::home},
    {"\x1b[2~", keys::insert},
    {"\x1b[3~", keys::deleteKey},
    {"\x1b[4~", keys::end},
    {"\x1b[5~", keys::pageUp},
    {"\x1b[6~", keys::pageDown},
    {"\x1b[7~", keys::home},
    {"\x1b[8~", keys::end},
    {"\x1bOP", keys::f1},
    {"\x1bOQ", keys::f1 + 256},
    {"\x1bOR", keys::f1 + 512},
    {"\x1bOS", keys::f1 + 768},
    {"\x1b[11~", keys::f1},
    {"\x1b[12~", keys::f1 + 256},
    {"\x1b[13~", keys::f1 + 512},
    {"\x1b[14~", keys::f1 + 768},
    {"\x1b[15~", keys::f1 + 4 * 256},
    {"\x1b[17~", keys::f1 + 5 * 256},
    {"\x1b[18~", keys::f1 + 6 * 256},
    {"\x1b[19~", keys::f1 + 7 * 256},
    {"\x1b[20~", keys::f1 + 8 * 256},
    {"\x1b[21~", keys::f1 + 9 * 256},
    {"\x1b[23~", keys::f11},
    {"\x1b[24~", keys::f12},
    // The Linux console's F1 to F5.
    {"\x1b[[A", keys::f1},
    {"\x1b[[B", keys::f1 + 256},
    {"\x1b[[C", keys::f1 + 512},
    {"\x1b[[D", keys::f1 + 768},
    {"\x1b[[E", keys::f1 + 4 * 256},
    // Enter on the keypad in application mode.
    {"\x1bOM", keys::enter},
});

int plainKeyCode(char byte) {
    switch (byte) {
        case '\0':
            return keys::controlAt;
        case '\n':  // a terminal in raw-ish mode may deliver Enter as LF
            return keys::enter;
        case '\x7f':  // the Backspace key of most terminals
            return keys::backspace;
        default:
            return static_cast<unsigned char>(byte);
    }
}

int sequenceCode(std::string_view sequence) {
    for (const auto& [known, code] : knownSequences) {
        if (known == sequence)
            return code;
    }
    return keys::unknownSequence;
}

bool isParameterOrIntermediate(unsigned char byte) {
    return byte >= 0x20 && byte <= 0x3F;
}
bool isFinal(unsigned char byte) {
    return byte >= 0x40 && byte <= 0x7E;
}

// How long the sequence of ESC, the introducer ('[' or 'O'), parameter and intermediate
// bytes and one final byte is; none when bytes ends before the final byte.
std::optional<std::size_t> sequenceLength(std::string_view bytes) {
    std::size_t position = 2;
    // The Linux console's function keys: ESC [ [ and one letter.
    if (bytes[1] == '[' && bytes.size() > 2 && bytes[2] == '[')
        position = 3;
    for (; position < bytes.size(); ++position) {
        const auto byte = static_cast<unsigned char>(bytes[position]);
        if (isFinal(byte))
            return position + 1;
        // A byte that cannot be part of a sequence breaks it off; it is a key of its own.
        if (!isParameterOrIntermediate(byte))
            return position;
    }
    return std::nullopt;
}

std::optional<DecodedKey> decodeSequence(std::string_view bytes, bool complete) {
    if (const auto length = sequenceLength(bytes)) {
        return DecodedKey{sequenceCode(bytes.substr(0, *length)), *length};
    }
    if (!complete && bytes.size() < longestSequence)
        return std::nullopt;
    // Alt with '[' or 'O' sends just ESC and the letter: Escape, then the letter.
    if (bytes.size() == 2)
        return DecodedKey{keys::escape, 1};
    return DecodedKey{keys::unknownSequence, bytes.size()};
}

}  // namespace

std::optional<DecodedKey> decodeKey(std::string_view bytes, bool complete) {
    if (bytes.empty())
        return std::nullopt;
    if (bytes[0] != escapeByte)
        return DecodedKey{plainKeyCode(bytes[0]), 1};
    if (bytes.size() == 1) {
        return complete ? std::optional(DecodedKey{keys::escape, 1}) : std::nullopt;
    }
    if (bytes[1] == '[' || bytes[1] == 'O')
        return decodeSequence(bytes, complete);
    return DecodedKey{keys::escape, 1};
}

}  // namespace torven::platform
