#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "config/NameValueReader.h"
#include "config/TextReader.h"

namespace torven {
namespace {

// Every item of a text up to and including the EOF marker: pairs as "name|value", markers
// as "<EOL>", "<COMMENT>", "<EOF>".
std::vector<std::string> readAll(const std::string& text) {
    TextReader reader(text);
    std::vector<std::string> items;
    MetaDataEntry item;
    for (int guard = 0; guard < 1000; ++guard) {
        if (readNameValue(reader, item)) {
            items.push_back(item.name + "|" + item.value);
            continue;
        }
        EXPECT_EQ(item.name, "FILE");
        items.push_back("<" + item.value + ">");
        if (item.value == "EOF")
            break;
    }
    return items;
}

using Items = std::vector<std::string>;

struct ReaderCase {
    const char* title;
    std::string text;
    Items expected;
};

void PrintTo(const ReaderCase& readerCase, std::ostream* out) {
    *out << readerCase.title;
}

class NameValueReaderCases : public testing::TestWithParam<ReaderCase> {};

TEST_P(NameValueReaderCases, ReadsItemsAndMarkers) {
    EXPECT_EQ(readAll(GetParam().text), GetParam().expected) << GetParam().title;
}

const std::string longName(1500, 'n');
const std::string longValue(1500, 'v');

INSTANTIATE_TEST_SUITE_P(
    Items, NameValueReaderCases,
    testing::Values(
        ReaderCase{"two pairs", "SITE = North Ridge, Latitude = 40.1\n",
                   Items{"SITE|North Ridge", "Latitude|40.1", "<EOL>", "<EOF>"}},
        ReaderCase{"empty text", "", Items{"<EOF>"}},
        ReaderCase{"blank line", "\n", Items{"<EOL>", "<EOF>"}},
        ReaderCase{"comment line", "# a comment, with = signs\n",
                   Items{"<COMMENT>", "<EOL>", "<EOF>"}},
        ReaderCase{"comment after a comma", "A = 1, # note\n",
                   Items{"A|1", "<COMMENT>", "<EOL>", "<EOF>"}},
        ReaderCase{"comment at the end of the text", "# last", Items{"<COMMENT>", "<EOF>"}},
        ReaderCase{"missing equals sign", "Latitude 40.1\n",
                   Items{"Latitude|40.1", "<EOL>", "<EOF>"}},
        ReaderCase{"no spaces around the equals sign", "A=1,B=2\n",
                   Items{"A|1", "B|2", "<EOL>", "<EOF>"}},
        ReaderCase{"name runs over the line end", "Name\nNext = v\n",
                   Items{"Name\nNext|v", "<EOL>", "<EOF>"}},
        ReaderCase{"equals sign at the line end takes the next line",
                   "Comments =\nsecond line, x = 1\n",
                   Items{"Comments|second line", "x|1", "<EOL>", "<EOF>"}},
        ReaderCase{"spaces before a comma stay in the value", "A = v  , B = w\n",
                   Items{"A|v  ", "B|w", "<EOL>", "<EOF>"}},
        ReaderCase{"hash inside a value", "A = x # y, B = 2\n",
                   Items{"A|x # y", "B|2", "<EOL>", "<EOF>"}},
        ReaderCase{"commas and spaces before a name", " , ,  A = 1\n",
                   Items{"A|1", "<EOL>", "<EOF>"}},
        ReaderCase{"leading tab belongs to the name", "\tSITE = x\n",
                   Items{"\tSITE|x", "<EOL>", "<EOF>"}},
        ReaderCase{"equals sign then comma", "A =, B = 2\n", Items{"A|", "B|2", "<EOL>", "<EOF>"}},
        ReaderCase{"item starting with an equals sign", "= value, B = 2\n",
                   Items{"|= value", "B|2", "<EOL>", "<EOF>"}},
        ReaderCase{"item starting with a blank and an equals sign", " =  value\n",
                   Items{"|=  value", "<EOL>", "<EOF>"}},
        ReaderCase{"last line without line end", "A = 1, B = 2", Items{"A|1", "B|2", "<EOF>"}},
        ReaderCase{"name alone at the end", "Alone", Items{"Alone|", "<EOF>"}},
        ReaderCase{"lone carriage return ends a line", "A = 1\rB = 2",
                   Items{"A|1", "<EOL>", "B|2", "<EOF>"}},
        ReaderCase{"CR LF reads as LF", "# c\r\nA = 1, B = 2\r\n\r\nC =\r\nnext\r\n",
                   Items{"<COMMENT>", "<EOL>", "A|1", "B|2", "<EOL>", "<EOL>", "C|next", "<EOL>",
                         "<EOF>"}},
        ReaderCase{
            "overlong name and value are cut, the next item is intact",
            longName + " = " + longValue + ", B = 2\n",
            Items{std::string(1023, 'n') + "|" + std::string(1023, 'v'), "B|2", "<EOL>", "<EOF>"}}),
    [](const testing::TestParamInfo<ReaderCase>& param) {
        std::string name;
        for (const char* c = param.param.title; *c != '\0'; ++c) {
            const bool alphanumeric =
                (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9');
            if (alphanumeric)
                name += *c;
            else if (!name.empty() && name.back() != '_')
                name += '_';
        }
        return name;
    });

TEST(NameValueReader, CrLfInputReadsExactlyLikeLfInput) {
    const std::string lf =
        "#site\nSITE = North Ridge, Longitude = -105.27\nDEVICE = DI-194RS, PORT = COM1\n\n"
        "CHANNEL = 1, DATATYPE = KORALI-VX, Comments =\nnext line\n";
    std::string crLf;
    for (char c : lf) {
        if (c == '\n')
            crLf += '\r';
        crLf += c;
    }
    EXPECT_EQ(readAll(crLf), readAll(lf));
}

TEST(NameValueReader, LeavesTheRequiredFlagAlone) {
    TextReader reader("A = 1\n");
    MetaDataEntry item{"old", "old", true};
    ASSERT_TRUE(readNameValue(reader, item));
    EXPECT_TRUE(item.required);
    EXPECT_FALSE(readNameValue(reader, item));
    EXPECT_TRUE(item.required);
}

TEST(TextReader, GetPeekUngetAndEndOfText) {
    TextReader reader("a\r\nb\r");
    EXPECT_EQ(reader.peek(), 'a');
    EXPECT_EQ(reader.get(), 'a');
    EXPECT_EQ(reader.get(), '\n');
    reader.unget();
    EXPECT_EQ(reader.get(), '\n');
    EXPECT_EQ(reader.get(), 'b');
    EXPECT_EQ(reader.get(), '\r');
    EXPECT_TRUE(reader.atEnd());
    EXPECT_EQ(reader.get(), TextReader::endOfText);
    EXPECT_EQ(reader.peek(), TextReader::endOfText);
}

TEST(TextReader, BytesAboveAsciiAreNotEndOfText) {
    TextReader reader("\xff");
    EXPECT_EQ(reader.get(), 0xff);
    EXPECT_EQ(reader.get(), TextReader::endOfText);
}

TEST(TextReader, OpenFailsForAMissingFile) {
    EXPECT_FALSE(TextReader::open("..\\no-such-folder\\no-such-file.txt").has_value());
}

}  // namespace
}  // namespace torven
