#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "platform/KeyDecoder.h"

namespace torven::platform {
namespace {

struct Case {
    const char* name;
    std::string bytes;
    bool complete;
    int code;
    std::size_t length;
};

// A code of 0 with length 0 stands for "no key yet".
const Case cases[] = {
    {"plain letter", "q", false, 'q', 1},
    {"letter then more", "dq", false, 'd', 1},
    {"Enter as CR", "\r", false, 13, 1},
    {"Enter as LF", "\n", false, 13, 1},
    {"Backspace as DEL", "\x7f", false, 8, 1},
    {"control byte", "\x01", false, 1, 1},
    {"Control-@", std::string(1, '\0'), false, 3 * 256, 1},
    {"high byte", "\xe0", false, 224, 1},
    {"nothing", "", true, 0, 0},
    {"lone ESC, more may come", "\x1b", false, 0, 0},
    {"lone ESC, nothing more", "\x1b", true, 27, 1},
    {"ESC then a letter", "\x1bq", false, 27, 1},
    {"ESC then ESC", "\x1b\x1b", false, 27, 1},
    {"Alt-[ alone", "\x1b[", true, 27, 1},
    {"CSI begun", "\x1b[", false, 0, 0},
    {"CSI parameters begun", "\x1b[1", false, 0, 0},
    {"SS3 begun", "\x1bO", false, 0, 0},
    {"Up", "\x1b[A", false, 224 + 72 * 256, 3},
    {"Down", "\x1b[B", false, 224 + 80 * 256, 3},
    {"Right", "\x1b[C", false, 224 + 77 * 256, 3},
    {"Left", "\x1b[D", false, 224 + 75 * 256, 3},
    {"Up, application mode", "\x1bOA", false, 224 + 72 * 256, 3},
    {"Left, application mode", "\x1bOD", false, 224 + 75 * 256, 3},
    {"Home", "\x1b[H", false, 224 + 71 * 256, 3},
    {"Home as 1~", "\x1b[1~", false, 224 + 71 * 256, 4},
    {"End", "\x1b[F", false, 224 + 79 * 256, 3},
    {"End as 4~", "\x1b[4~", false, 224 + 79 * 256, 4},
    {"Insert", "\x1b[2~", false, 224 + 82 * 256, 4},
    {"Delete", "\x1b[3~", false, 224 + 83 * 256, 4},
    {"Page Up", "\x1b[5~", false, 224 + 73 * 256, 4},
    {"Page Down", "\x1b[6~", false, 224 + 81 * 256, 4},
    {"F1", "\x1bOP", false, 59 * 256, 3},
    {"F4", "\x1bOS", false, 62 * 256, 3},
    {"F1 as 11~", "\x1b[11~", false, 59 * 256, 5},
    {"F4 as 14~", "\x1b[14~", false, 62 * 256, 5},
    {"F1, Linux console", "\x1b[[A", false, 59 * 256, 4},
    {"F5", "\x1b[15~", false, 63 * 256, 5},
    {"F6", "\x1b[17~", false, 64 * 256, 5},
    {"F10", "\x1b[21~", false, 68 * 256, 5},
    {"F11", "\x1b[23~", false, 224 + 133 * 256, 5},
    {"F12", "\x1b[24~", false, 224 + 134 * 256, 5},
    {"key after a sequence stays", "\x1b[Aq", false, 224 + 72 * 256, 3},
    {"unknown tilde key", "\x1b[99~", false, 255 * 256, 5},
    {"modified cursor key", "\x1b[1;5A", false, 255 * 256, 6},
    {"unknown SS3 key", "\x1bOx", false, 255 * 256, 3},
    {"cut-off sequence at the end", "\x1b[12;", true, 255 * 256, 5},
    {"sequence broken by a control byte", "\x1b[12\x03", false, 255 * 256, 4},
    {"endless parameters", "\x1b[" + std::string(40, '1'), false, 255 * 256, 42},
};

class KeyDecoderTest : public ::testing::TestWithParam<Case> {};

TEST_P(KeyDecoderTest, DecodesTheFirstKey) {
    const Case& c = GetParam();
    const auto key = decodeKey(c.bytes, c.complete);
    if (c.length == 0) {
        EXPECT_FALSE(key.has_value());
        return;
    }
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->code, c.code);
    EXPECT_EQ(key->length, c.length);
}

INSTANTIATE_TEST_SUITE_P(Keys, KeyDecoderTest, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<Case>& parameter) {
                             std::string name;
                             for (const char c : std::string(parameter.param.name)) {
                                 name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name;
                         });

TEST(KeyDecoder, EveryTwoCodeKeyIsAtLeast256) {
    for (const Case& c : cases) {
        if (c.length > 1) {
            EXPECT_GE(c.code, 256) << c.name;
        }
    }
}

}  // namespace
}  // namespace torven::platform
