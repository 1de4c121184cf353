#include "config/TextReader.h"

#include <utility>

#include "platform/FileSystem.h"

namespace torven {

namespace {

// Text mode: a carriage return directly followed by a line feed is stored as the line feed
// alone; a carriage return on its own stays.
std::string foldLineEnds(const std::string& content) {
    std::string folded;
    folded.reserve(content.size());
    for (std::size_t i = 0; i < content.size(); ++i) {
        const bool crBeforeLf =
            content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n';
        if (!crBeforeLf)
            folded.push_back(content[i]);
    }
    return folded;
}

}  // namespace

TextReader::TextReader(std::string content) : text_(foldLineEnds(content)) {}

std::optional<TextReader> TextReader::open(const std::string& path) {
    std::optional<std::string> content = platform::readWholeFile(platform::hostPath(path));
    if (!content)
        return std::nullopt;
    return TextReader(std::move(*content));
}

int TextReader::get() {
    if (atEnd())
        return endOfText;
    return static_cast<unsigned char>(text_[position_++]);
}

int TextReader::peek() {
    if (atEnd())
        return endOfText;
    return static_cast<unsigned char>(text_[position_]);
}

void TextReader::unget() {
    if (position_ > 0)
        --position_;
}

}  // namespace torven
