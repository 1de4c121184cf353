#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace torven {

// A text file read in text mode: a CR LF pair arrives as one line feed, so files saved on
// Windows and on Linux read alike. One character can be pushed back.
class TextReader {
  public:
    static constexpr int endOfText = -1;

    explicit TextReader(std::string content);
    // The file's content; none when it cannot be opened.
    static std::optional<TextReader> open(const std::string& path);

    int get();
    int peek();
    void unget();
    bool atEnd() const { return position_ >= text_.size(); }

  private:
    std::string text_;
    std::size_t position_ = 0;
};

}  // namespace torven
