#include "support/DataFileCheck.h"

#include <regex>

namespace torven::test {

namespace {

// The last line of a text that ends in CR LF, without it.
std::string lastLine(const std::string& text) {
    const std::string lines = text.substr(0, text.size() - 2);
    const std::size_t previousEnd = lines.rfind('\n');
    return previousEnd == std::string::npos ? lines : lines.substr(previousEnd + 1);
}

bool isHeaderLine(const std::string& line) {
    return line.empty() || line.front() == '#';
}

}  // namespace

// The lines of content that end in CR LF, without it; a line that ends in a bare LF fails.
::testing::AssertionResult splitCrLfLines(const std::string& content,
                                          std::vector<std::string>& lines) {
    lines.clear();
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            return ::testing::AssertionFailure()
                   << "the last line has no line end: \"" << content.substr(start) << "\"";
        }
        if (end == start || content[end - 1] != '\r') {
            return ::testing::AssertionFailure()
                   << "line " << lines.size() + 1 << " does not end in CR LF: \""
                   << content.substr(start, end - start) << "\"";
        }
        lines.push_back(content.substr(start, end - 1 - start));
        if (lines.back().find('\r') != std::string::npos) {
            return ::testing::AssertionFailure() << "stray CR in line " << lines.size();
        }
        start = end + 1;
    }
    return ::testing::AssertionSuccess();
}

bool isDataRow(std::string_view line) {
    static const std::regex row(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d, [+-]\d+\.\d{3})");
    return std::regex_match(line.begin(), line.end(), row);
}

std::string upToLastLineEnd(const std::string& content) {
    const std::size_t lastLineEnd = content.rfind('\n');
    return lastLineEnd == std::string::npos ? std::string() : content.substr(0, lastLineEnd + 1);
}

std::vector<std::string> wholeRows(const std::string& content) {
    std::vector<std::string> rows;
    std::size_t start = 0;
    for (std::size_t end; (end = content.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        std::string line = content.substr(start, end - start);
        if (isDataRow(line))
            rows.push_back(std::move(line));
    }
    return rows;
}

::testing::AssertionResult isWholeDataFile(const std::string& content) {
    std::vector<std::string> lines;
    if (auto split = splitCrLfLines(content, lines); !split)
        return split;
    std::size_t line = 0;
    while (line < lines.size() && isHeaderLine(lines[line]))
        ++line;
    if (line == 0)
        return ::testing::AssertionFailure() << "no header";
    if (line == lines.size())
        return ::testing::AssertionFailure() << "a header without a row";
    for (std::string previous; line < lines.size(); ++line) {
        if (!isDataRow(lines[line])) {
            return ::testing::AssertionFailure()
                   << "line " << line + 1 << " is no whole row: \"" << lines[line] << "\"";
        }
        // The date-time text sorts as the time does.
        const std::string time = lines[line].substr(0, 19);
        if (time <= previous) {
            return ::testing::AssertionFailure()
                   << "line " << line + 1 << " is not later than the row before it: \""
                   << lines[line] << "\"";
        }
        previous = time;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult isWholeCopyOf(const std::string& copy, const std::string& content) {
    if (copy == content)
        return ::testing::AssertionSuccess();
    if (!content.starts_with(copy)) {
        return ::testing::AssertionFailure()
               << "the copy is no earlier state of the file:\n--- copy\n"
               << copy << "--- file\n"
               << content;
    }
    if (!copy.ends_with("\r\n") || !isDataRow(lastLine(copy))) {
        return ::testing::AssertionFailure()
               << "the copy does not end with a whole row:\n--- copy\n"
               << copy;
    }
    return ::testing::AssertionSuccess();
}

std::map<std::string, std::string> readDataFiles(const ScratchStation& station,
                                                 const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const std::string& name : station.fileNames(folder)) {
        if (name.ends_with(".csv"))
            files[name] = station.readFile(folder + "/" + name);
    }
    return files;
}

::testing::AssertionResult holdsOnlyWholeDataFiles(const ScratchStation& station,
                                                   const std::string& folder) {
    for (const auto& [name, content] : readDataFiles(station, folder)) {
        if (auto whole = isWholeDataFile(content); !whole) {
            return ::testing::AssertionFailure()
                   << folder << "/" << name << ": " << whole.message() << "\n--- content\n"
                   << content;
        }
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult sameDataFiles(const ScratchStation& station, const std::string& folder,
                                         const std::string& otherFolder) {
    const auto files = readDataFiles(station, folder);
    const auto others = readDataFiles(station, otherFolder);
    for (const auto& [name, content] : files) {
        const auto other = others.find(name);
        if (other == others.end())
            return ::testing::AssertionFailure() << name << " is in " << folder << " only";
        if (other->second != content) {
            return ::testing::AssertionFailure()
                   << name << " differs between " << folder << " and " << otherFolder;
        }
    }
    for (const auto& [name, content] : others) {
        if (!files.contains(name))
            return ::testing::AssertionFailure() << name << " is in " << otherFolder << " only";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult keepsEveryRowOf(const ScratchStation& station, const std::string& folder,
                                           const std::map<std::string, std::string>& snapshot) {
    for (const auto& [name, seen] : snapshot) {
        const std::string kept = station.readFile(folder + "/" + name);
        const std::string seenWhole = upToLastLineEnd(seen);
        if (!kept.starts_with(seenWhole)) {
            return ::testing::AssertionFailure()
                   << folder << "/" << name << " lacks rows seen earlier:\n--- seen\n"
                   << seenWhole << "--- " << folder << "\n"
                   << kept;
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace torven::test
