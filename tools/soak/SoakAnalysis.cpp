#include "soak/SoakAnalysis.h"

#include <algorithm>
#include <cstdio>

namespace torven::soak {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kSecondsPerHour = 3600;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct CivilDate {
    std::int64_t year;
    int month;
    int day;
};

CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

bool isLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(std::int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The value of `count` digits at `position`; none when any of them is no digit.
std::optional<int> digitsAt(std::string_view text, std::size_t position, std::size_t count) {
    int value = 0;
    for (std::size_t i = position; i < position + count; ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// A value as the writer formats it: a sign, one or more digits, a point, three digits.
bool isSampleText(std::string_view text) {
    if (text.size() < 6 || (text[0] != '+' && text[0] != '-'))
        return false;
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos || point < 2 || text.size() - point != 4)
        return false;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (i != point && !isDigit(text[i]))
            return false;
    }
    return true;
}

std::optional<Row> parseRow(std::string_view line) {
    constexpr std::size_t kTimeLength = 19;
    if (line.size() < kTimeLength + 2 || line.substr(kTimeLength, 2) != ", ")
        return std::nullopt;
    const auto time = parseDateTime(line.substr(0, kTimeLength));
    const std::string_view value = line.substr(kTimeLength + 2);
    if (!time || !isSampleText(value))
        return std::nullopt;
    return Row{*time, std::string(value)};
}

// The next second after t at which a stream with this interval owes a row.
std::int64_t nextDue(std::int64_t t, int sampleInterval) {
    for (std::int64_t next = t + 1; next <= t + kSecondsPerHour; ++next) {
        if (rowDue(next, sampleInterval))
            return next;
    }
    return t + kSecondsPerHour;
}

void countRowFaults(const std::vector<Row>& rows, int sampleInterval,
                    const std::optional<std::string>& expectedValue, StreamFigures& figures) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i > 0 && rows[i].time == rows[i - 1].time)
            ++figures.duplicates;
        if (!rowDue(rows[i].time, sampleInterval))
            ++figures.offSchedule;
        if (expectedValue && rows[i].value != *expectedValue)
            ++figures.wrongValues;
    }
}

void countDueRows(const std::vector<Row>& rows, int sampleInterval,
                  const std::vector<std::int64_t>& countedSeconds, StreamFigures& figures) {
    auto row = rows.begin();
    std::optional<Gap> open;
    std::optional<std::int64_t> previousDue;
    for (std::int64_t t : countedSeconds) {
        if (!rowDue(t, sampleInterval))
            continue;
        ++figures.due;
        // Seconds left out of the count (a clock step, calibration) end a gap: what is missing
        // on either side of them is two gaps, not one across them.
        if (open && previousDue && nextDue(*previousDue, sampleInterval) != t) {
            figures.gaps.push_back(*open);
            open.reset();
        }
        previousDue = t;
        while (row != rows.end() && row->time < t)
            ++row;
        if (row != rows.end() && row->time == t) {
            ++figures.written;
            if (open)
                figures.gaps.push_back(*open);
            open.reset();
            continue;
        }
        if (!open)
            open = Gap{t, 0, 0};
        open->rows += 1;
        open->seconds = nextDue(t, sampleInterval) - open->start;
    }
    if (open)
        figures.gaps.push_back(*open);
}

// The date of a row as data file names write it, YYYYMMDD.
std::string nameDate(std::int64_t time) {
    const std::string text = formatDateTime(time);
    return text.substr(0, 4) + text.substr(5, 2) + text.substr(8, 2);
}

void countFileFaults(const std::vector<StreamFile>& files, StreamFigures& figures) {
    struct Span {
        std::int64_t first;
        std::int64_t last;
        const std::vector<Row>* rows;
    };
    std::vector<Span> spans;
    for (const StreamFile& file : files) {
        const std::vector<Row>& rows = file.content.rows;
        figures.malformedLines += file.content.malformedLines;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (i > 0 && rows[i].time <= rows[i - 1].time)
                ++figures.outOfOrder;
            if (nameDate(rows[i].time) != file.name.date)
                ++figures.otherDay;
        }
        if (rows.empty())
            continue;
        const auto [least, most] = std::minmax_element(
            rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.time < b.time; });
        spans.push_back({least->time, most->time, &rows});
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.first < b.first; });
    std::optional<std::int64_t> lastBefore;
    for (const Span& span : spans) {
        if (lastBefore) {
            figures.outOfOrder += static_cast<int>(
                std::count_if(span.rows->begin(), span.rows->end(),
                              [&lastBefore](const Row& row) { return row.time <= *lastBefore; }));
        }
        lastBefore = std::max(lastBefore.value_or(span.last), span.last);
    }
}

}  // namespace

ChosenCopies chooseCopies(const std::vector<FileCopy>& copies) {
    ChosenCopies chosen;
    for (const FileCopy& copy : copies) {
        std::string& longest = chosen.contents[copy.name];
        if (copy.content.size() > longest.size())
            longest = copy.content;
    }
    for (const FileCopy& copy : copies) {
        if (copy.live && copy.content.size() < chosen.contents[copy.name].size())
            chosen.replacedByShorter.insert(copy.name);
    }
    return chosen;
}

std::optional<std::int64_t> parseDateTime(std::string_view text) {
    if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const auto year = digitsAt(text, 0, 4);
    const auto month = digitsAt(text, 5, 2);
    const auto day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2);
    const auto minute = digitsAt(text, 14, 2);
    const auto second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second)
        return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month) || *hour > 23 ||
        *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    return daysFromCivil(*year, *month, *day) * kSecondsPerDay + *hour * kSecondsPerHour +
           *minute * 60 + *second;
}

std::string formatDateTime(std::int64_t epochSeconds) {
    const std::int64_t days =
        (epochSeconds >= 0 ? epochSeconds : epochSeconds - (kSecondsPerDay - 1)) / kSecondsPerDay;
    const std::int64_t ofDay = epochSeconds - days * kSecondsPerDay;
    const CivilDate date = civilFromDays(days);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02lld:%02lld:%02lld",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<long long>(ofDay / kSecondsPerHour),
                  static_cast<long long>(ofDay % kSecondsPerHour / 60),
                  static_cast<long long>(ofDay % 60));
    return text;
}

bool rowDue(std::int64_t epochSecond, int sampleInterval) {
    if (sampleInterval < 1)
        return false;
    const std::int64_t intoHour =
        ((epochSecond % kSecondsPerHour) + kSecondsPerHour) % kSecondsPerHour;
    return intoHour % sampleInterval == 0;
}

DataFileContent parseDataFile(std::string_view content) {
    DataFileContent parsed;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find('\n', start);
        const bool ended = end != std::string_view::npos && end > start && content[end - 1] == '\r';
        const std::string_view line =
            content.substr(start, ended ? end - 1 - start : std::string_view::npos);
        start = end == std::string_view::npos ? content.size() : end + 1;
        if (!ended) {
            ++parsed.malformedLines;
        } else if (!line.empty() && line[0] == '#') {
            if (parsed.rows.empty()) {
                ++parsed.headerLines;
            } else {
                ++parsed.malformedLines;
            }
        } else if (auto row = parseRow(line)) {
            parsed.rows.push_back(std::move(*row));
        } else {
            ++parsed.malformedLines;
        }
    }
    return parsed;
}

std::optional<DataFileName> parseDataFileName(std::string_view name) {
    constexpr std::string_view kSuffix = ".csv";
    constexpr std::size_t kIdStart = 16;
    if (name.size() <= kIdStart + kSuffix.size() || name.substr(name.size() - 4) != kSuffix ||
        name[8] != '_' || name[15] != '_' || !digitsAt(name, 0, 8) || !digitsAt(name, 9, 6)) {
        return std::nullopt;
    }
    return DataFileName{std::string(name.substr(0, 8)), std::string(name.substr(9, 6)),
                        std::string(name.substr(kIdStart, name.size() - kIdStart - 4))};
}

double StreamFigures::completeness() const {
    return due == 0 ? 100.0 : 100.0 * written / due;
}

std::optional<Gap> StreamFigures::longestGap() const {
    const auto longest = std::max_element(
        gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) { return a.seconds < b.seconds; });
    if (longest == gaps.end())
        return std::nullopt;
    return *longest;
}

bool StreamFigures::rowsSound() const {
    return duplicates == 0 && offSchedule == 0 && wrongValues == 0 && malformedLines == 0 &&
           outOfOrder == 0 && otherDay == 0 && shorterCopies == 0;
}

StreamFigures analyseStream(const std::vector<StreamFile>& files, int sampleInterval,
                            const std::vector<std::int64_t>& countedSeconds,
                            const std::optional<std::string>& expectedValue) {
    StreamFigures figures;
    countFileFaults(files, figures);
    std::vector<Row> rows;
    for (const StreamFile& file : files)
        rows.insert(rows.end(), file.content.rows.begin(), file.content.rows.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.time < b.time; });
    countRowFaults(rows, sampleInterval, expectedValue, figures);
    countDueRows(rows, sampleInterval, countedSeconds, figures);
    return figures;
}

std::optional<double> worstInterval(const std::vector<double>& growths, double from, double to) {
    std::optional<double> previous;
    std::optional<double> worst;
    for (double growth : growths) {
        if (growth < from || growth > to)
            continue;
        if (previous)
            worst = std::max(worst.value_or(0.0), growth - *previous);
        previous = growth;
    }
    return worst;
}

std::vector<std::int64_t> secondsOutside(const std::vector<LivedSecond>& lived,
                                         const std::vector<RealSpan>& spans) {
    std::vector<std::int64_t> seconds;
    for (const LivedSecond& s : lived) {
        const bool inside = std::any_of(spans.begin(), spans.end(), [&s](const RealSpan& span) {
            return s.realTime + 1.0 > span.from && s.realTime < span.to;
        });
        if (!inside)
            seconds.push_back(s.second);
    }
    return seconds;
}

std::optional<double> worstIntervalOutside(const std::vector<double>& growths, double from,
                                           double to, std::vector<RealSpan> spans) {
    std::sort(spans.begin(), spans.end(),
              [](const RealSpan& a, const RealSpan& b) { return a.from < b.from; });
    std::optional<double> worst;
    const auto measure = [&](double until) {
        if (const auto interval = worstInterval(growths, from, until))
            worst = std::max(worst.value_or(0.0), *interval);
    };
    for (const RealSpan& span : spans) {
        if (span.from >= to)
            break;
        measure(span.from);
        from = std::max(from, span.to);
    }
    measure(to);
    return worst;
}

std::optional<double> firstGrowthAfter(const std::vector<double>& growths, double from,
                                       double until) {
    for (double growth : growths) {
        if (growth >= from && growth < until)
            return growth;
    }
    return std::nullopt;
}

std::optional<EventLogEntry> parseEventLogLine(std::string_view line) {
    constexpr std::size_t kTimeLength = 19;
    if (line.size() < kTimeLength + 2 || line.substr(kTimeLength, 2) != ", ")
        return std::nullopt;
    const auto time = parseDateTime(line.substr(0, kTimeLength));
    const std::size_t levelEnd = line.find(", \"", kTimeLength + 2);
    if (!time || levelEnd == std::string_view::npos || line.back() != '"' ||
        line.size() < levelEnd + 4) {
        return std::nullopt;
    }
    return EventLogEntry{*time,
                         std::string(line.substr(kTimeLength + 2, levelEnd - kTimeLength - 2)),
                         std::string(line.substr(levelEnd + 3, line.size() - levelEnd - 4))};
}

std::optional<std::string> returnedOnlinePort(std::string_view message) {
    constexpr std::string_view kOnPort = " on port ";
    constexpr std::string_view kReturned = " has returned online";
    if (message.size() < kReturned.size() ||
        message.substr(message.size() - kReturned.size()) != kReturned) {
        return std::nullopt;
    }
    const std::size_t port = message.find(kOnPort);
    if (port == std::string_view::npos)
        return std::nullopt;
    const std::size_t begin = port + kOnPort.size();
    const std::size_t end = message.size() - kReturned.size();
    if (begin >= end)
        return std::nullopt;
    return std::string(message.substr(begin, end - begin));
}

}  // namespace torven::soak
