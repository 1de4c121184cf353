#include "remote/TodayRows.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/FileSystem.h"
#include "remote/RemoteText.h"

namespace torven {

namespace {

constexpr std::size_t readChunkSize = 64 * 1024;
// A row is about 30 bytes; longer lines are garbage and are not collected in memory.
constexpr std::size_t longestLine = 256;
constexpr std::string_view timeTagPattern = "YYYYMMDD_hhmmss_";

struct Row {
    std::int64_t day = 0;
    std::int64_t secondOfDay = 0;
    double value = 0.0;
};

bool isDigit(char character) {
    return character >= '0' && character <= '9';
}

std::optional<int> numberAt(std::string_view text, std::size_t position, std::size_t length) {
    int number = 0;
    for (std::size_t index = position; index < position + length; ++index) {
        if (!isDigit(text[index]))
            return std::nullopt;
        number = number * 10 + (text[index] - '0');
    }
    return number;
}

std::optional<double> valueOf(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> dayNumberOf(int year, int month, int day) {
    const std::chrono::year_month_day date{std::chrono::year{year},
                                           std::chrono::month{static_cast<unsigned>(month)},
                                           std::chrono::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        return std::nullopt;
    return std::chrono::sys_days{date}.time_since_epoch().count();
}

// "YYYY-MM-DD hh:mm:ss, <value>"; none for headers, rows without a reading and garbage.
std::optional<Row> parseRow(std::string_view line) {
    constexpr std::string_view layout = "YYYY-MM-DD hh:mm:ss";
    if (line.size() <= layout.size())
        return std::nullopt;
    for (std::size_t index = 0; index < layout.size(); ++index) {
        const char expected = layout[index];
        const bool isField = expected >= 'A' && expected <= 'z';
        if (isField ? !isDigit(line[index]) : line[index] != expected)
            return std::nullopt;
    }
    const std::string_view rest = withoutBlanks(line.substr(layout.size()));
    if (rest.empty() || rest.front() != ',')
        return std::nullopt;
    const std::optional<double> value = valueOf(withoutBlanks(rest.substr(1)));
    const std::optional<std::int64_t> day =
        dayNumberOf(*numberAt(line, 0, 4), *numberAt(line, 5, 2), *numberAt(line, 8, 2));
    const int hour = *numberAt(line, 11, 2);
    const int minute = *numberAt(line, 14, 2);
    const int second = *numberAt(line, 17, 2);
    if (!value || !day || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    return Row{*day, hour * 3600 + minute * 60 + second, *value};
}

// Whether name is "YYYYMMDD_hhmmss_<ID>.csv" of the given date tag and stream.
bool isFileOfDay(const std::string& name, const std::string& tag, const std::string& streamId) {
    const std::string suffix = "_" + streamId + ".csv";
    if (name.size() != timeTagPattern.size() - 1 + suffix.size() || !name.starts_with(tag + "_") ||
        !name.ends_with(suffix))
        return false;
    return numberAt(name, tag.size() + 1, 6).has_value();
}

bool isPlainFileName(const std::string& name) {
    return !name.empty() && name.find_first_of("/\\:") == std::string::npos && name != "." &&
           name != "..";
}

}  // namespace

void TodayRows::update(const std::string& tmpDirectory, const std::string& dataDirectory,
                       const StreamSnapshot& stream, std::int64_t nowEpochSeconds) {
    tmpDirectory_ = tmpDirectory;
    dataDirectory_ = dataDirectory;
    const std::int64_t today = utcDayNumber(nowEpochSeconds);
    if (!started_ || today != bins_.day || stream.id != streamId_)
        startDay(today, stream.id);
    if (!followCurrentFile(stream.currentFileName)) {
        // A file was cut back or replaced: its rows in the bins are no longer known apart.
        startDay(today, stream.id);
        followCurrentFile(stream.currentFileName);
    }
}

void TodayRows::startDay(std::int64_t day, const std::string& streamId) {
    started_ = true;
    streamId_ = streamId;
    currentFile_.clear();
    offsets_.clear();
    bins_ = DayBins{};
    bins_.day = day;
    if (!streamId_.empty())
        readFilesOfTheDay();
}

void TodayRows::readFilesOfTheDay() {
    const std::string tag = dateTag(bins_.day);
    std::set<std::string> names;  // in the order of their start times
    for (const std::string* directory : {&tmpDirectory_, &dataDirectory_}) {
        for (std::string& name : platform::listFiles(*directory, "_" + streamId_ + ".csv")) {
            if (isFileOfDay(name, tag, streamId_))
                names.insert(std::move(name));
        }
    }
    for (const std::string& name : names)
        readAddedLines(name);
}

bool TodayRows::followCurrentFile(const std::string& name) {
    if (name != currentFile_ && !currentFile_.empty() &&
        readAddedLines(currentFile_) == ReadResult::Shorter)
        return false;
    currentFile_ = isPlainFileName(name) ? name : std::string();
    return currentFile_.empty() || readAddedLines(currentFile_) != ReadResult::Shorter;
}

TodayRows::ReadResult TodayRows::readAddedLines(const std::string& name) {
    platform::FileDescriptor file =
        platform::openFile(platform::hostPath(tmpDirectory_ + name), platform::OpenMode::Read);
    if (!file.isOpen())
        file =
            platform::openFile(platform::hostPath(dataDirectory_ + name), platform::OpenMode::Read);
    const std::optional<std::uint64_t> size = file.isOpen() ? file.size() : std::nullopt;
    if (!size)
        return ReadResult::Missing;
    std::uint64_t& offset = offsets_[name];
    if (*size < offset)
        return ReadResult::Shorter;
    std::vector<char> buffer(readChunkSize);
    std::string partial;  // the start of a line that continues in the next chunk
    bool overlong = false;
    std::uint64_t position = offset;
    while (true) {
        const std::optional<std::size_t> count = file.readAt(position, std::span<char>(buffer));
        if (!count || *count == 0)
            break;
        const std::string_view chunk(buffer.data(), *count);
        std::size_t start = 0;
        for (std::size_t end = chunk.find('\n'); end != std::string_view::npos;
             end = chunk.find('\n', start)) {
            if (overlong) {
                overlong = false;
            } else if (partial.empty()) {
                addLine(chunk.substr(start, end - start));
            } else {
                addLine(partial.append(chunk.substr(start, end - start)));
            }
            partial.clear();
            start = end + 1;
            offset = position + start;
        }
        if (!overlong)
            partial.append(chunk.substr(start));
        if (partial.size() > longestLine) {
            partial.clear();
            overlong = true;
        }
        position += *count;
    }
    return ReadResult::Read;
}

void TodayRows::addLine(std::string_view line) {
    const std::optional<Row> row = parseRow(line);
    if (row && row->day == bins_.day)
        bins_.add(row->secondOfDay, row->value);
}

}  // namespace torven
