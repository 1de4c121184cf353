#include "config/NameValueReader.h"

#include <string_view>

namespace torven {

namespace {

constexpr int endOfText = TextReader::endOfText;

bool isWhiteSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The longest run of characters not in `stops`, left in the stream after it. Only the first
// maxItemLength characters are kept; the rest of an overlong run is consumed and dropped, so
// the next read starts after the whole run.
std::string readRun(TextReader& reader, std::string_view stops) {
    std::string run;
    for (int c = reader.peek(); c != endOfText && stops.find(static_cast<char>(c)) == stops.npos;
         c = reader.peek()) {
        reader.get();
        if (run.size() < maxItemLength)
            run.push_back(static_cast<char>(c));
    }
    return run;
}

void skipWhiteSpace(TextReader& reader) {
    while (isWhiteSpace(reader.peek()))
        reader.get();
}

bool lineMarker(MetaDataEntry& item, const char* marker) {
    item.name = "FILE";
    item.value = marker;
    return false;
}

}  // namespace

bool readNameValue(TextReader& reader, MetaDataEntry& item) {
    int c = reader.get();
    while (c == ' ' || c == ',')
        c = reader.get();
    if (c == endOfText)
        return lineMarker(item, "EOF");
    if (c == '#') {
        readRun(reader, "\n\r");
        return lineMarker(item, "COMMENT");
    }
    if (c == '\n' || c == '\r')
        return lineMarker(item, "EOL");
    reader.unget();

    // A name may run over line ends and tabs: only a space or '=' ends it. The separator is
    // optional white space, an optional '=' and more white space, line ends included. An item
    // that starts with '=' has no name, and that '=' opens the value.
    item.name = readRun(reader, " =");
    if (!item.name.empty()) {
        skipWhiteSpace(reader);
        if (reader.peek() == '=')
            reader.get();
        skipWhiteSpace(reader);
    }
    item.value = readRun(reader, ",\n\r");
    return true;
}

}  // namespace torven
