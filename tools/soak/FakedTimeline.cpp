#include "soak/FakedTimeline.h"

#include <algorithm>
#include <cmath>

namespace torven::soak {

void FakedTimeline::step(double realTime, std::int64_t offset) {
    steps_.push_back({realTime, offset});
}

std::int64_t FakedTimeline::offsetAt(double realTime) const {
    std::int64_t offset = startOffset_;
    for (const Step& s : steps_) {
        if (s.realTime > realTime)
            break;
        offset = s.offset;
    }
    return offset;
}

bool FakedTimeline::nearStep(std::int64_t second, int slack) const {
    if (slack < 1)
        return false;
    std::int64_t before = startOffset_;
    for (const Step& s : steps_) {
        for (std::int64_t offset : {before, s.offset}) {
            const auto faked = static_cast<std::int64_t>(std::floor(s.realTime)) + offset;
            if (second >= faked - slack && second <= faked + slack)
                return true;
        }
        before = s.offset;
    }
    return false;
}

std::vector<double> FakedTimeline::midnights(double from, double to) const {
    constexpr std::int64_t kSecondsPerDay = 86400;
    std::vector<double> times;
    double segmentStart = from;
    auto scan = [&](double segmentEnd, std::int64_t offset) {
        const double fakedStart = segmentStart + static_cast<double>(offset);
        const double fakedEnd = segmentEnd + static_cast<double>(offset);
        auto day = static_cast<std::int64_t>(std::ceil(fakedStart / kSecondsPerDay));
        for (; static_cast<double>(day * kSecondsPerDay) < fakedEnd; ++day)
            times.push_back(static_cast<double>(day * kSecondsPerDay - offset));
    };
    for (const Step& s : steps_) {
        if (s.realTime <= from || s.realTime >= to)
            continue;
        scan(s.realTime, offsetAt(segmentStart));
        segmentStart = s.realTime;
    }
    scan(to, offsetAt(segmentStart));
    return times;
}

std::vector<std::int64_t> FakedTimeline::firstLivedSeconds(double begin, double from, double to,
                                                           int slack) const {
    std::vector<std::int64_t> seconds;
    for (const LivedSecond& lived : firstLived(begin, from, to, slack))
        seconds.push_back(lived.second);
    return seconds;
}

std::vector<LivedSecond> FakedTimeline::firstLived(double begin, double from, double to,
                                                   int slack) const {
    std::vector<LivedSecond> seconds;
    double reached = fakedAt(begin);
    std::int64_t offset = offsetAt(begin);
    auto follow = [&](double segmentEnd) {
        const double fakedEnd = segmentEnd + static_cast<double>(offset);
        for (auto s = static_cast<std::int64_t>(std::ceil(reached));
             static_cast<double>(s) < fakedEnd; ++s) {
            const double real = static_cast<double>(s - offset);
            if (real >= from && real < to && !nearStep(s, slack))
                seconds.push_back({s, real});
        }
        reached = std::max(reached, fakedEnd);
    };
    for (const Step& s : steps_) {
        if (s.realTime <= begin)
            continue;
        if (s.realTime >= to)
            break;
        follow(s.realTime);
        offset = s.offset;
        // A step forward skips the seconds up to its landing: they owe nothing.
        reached = std::max(reached, s.realTime + static_cast<double>(offset));
    }
    follow(to);
    return seconds;
}

}  // namespace torven::soak
