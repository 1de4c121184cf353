#include "platform/TextFile.h"

#include "platform/FileSystem.h"

namespace torven::platform {

namespace {

// Every line feed becomes CR LF, as a file written in text mode stores it.
std::string toTextMode(std::string_view text) {
    std::string stored;
    stored.reserve(text.size() + text.size() / 16 + 2);
    for (const char c : text) {
        if (c == '\n')
            stored.push_back('\r');
        stored.push_back(c);
    }
    return stored;
}

}  // namespace

std::optional<TextFile> TextFile::open(const std::string& path, OpenMode mode) {
    FileDescriptor file = openFile(hostPath(path), mode);
    if (!file.isOpen())
        return std::nullopt;
    return TextFile(std::move(file));
}

std::optional<TextFile> TextFile::openForAppend(const std::string& path) {
    return open(path, OpenMode::AppendOrCreate);
}

std::optional<TextFile> TextFile::openForWrite(const std::string& path) {
    return open(path, OpenMode::WriteNew);
}

std::uint64_t TextFile::size() const {
    if (!file_.isOpen())
        return 0;
    return file_.size().value_or(0);
}

bool TextFile::write(std::string_view text) {
    return file_.isOpen() && file_.writeAll(toTextMode(text));
}

bool TextFile::truncate(std::uint64_t size) {
    return file_.isOpen() && file_.truncate(size);
}

bool appendText(const std::string& path, std::string_view text) {
    std::optional<TextFile> file = TextFile::openForAppend(path);
    if (!file)
        return false;
    const std::uint64_t sizeBefore = file->size();
    const bool written = file->write(text);
    // Text that reached the file only in part (a full disk) is cut off again, so that the
    // file keeps whole lines and the next text does not run on from a broken one.
    if (!written)
        file->truncate(sizeBefore);
    return file->close() && written;
}

}  // namespace torven::platform
