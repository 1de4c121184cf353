#include "remote/PlotCache.h"

#include <utility>

namespace torven {

PlotCache::PlotCache(std::string tmpDirectory, std::string dataDirectory)
    : tmpDirectory_(std::move(tmpDirectory)), dataDirectory_(std::move(dataDirectory)) {}

DayPlots PlotCache::update(const StatusSnapshot& snapshot, std::int64_t nowEpochSeconds) {
    const std::lock_guard lock(mutex_);
    std::map<std::string, TodayRows> kept;
    DayPlots plots;
    for (const DeviceSnapshot& device : snapshot.devices) {
        for (const ChannelSnapshot& channel : device.channels) {
            if (!channel.stream || channel.stream->id.empty() || kept.contains(channel.stream->id))
                continue;
            const StreamSnapshot& stream = *channel.stream;
            auto known = streams_.find(stream.id);
            TodayRows rows = known != streams_.end() ? std::move(known->second) : TodayRows{};
            rows.update(tmpDirectory_, dataDirectory_, stream, nowEpochSeconds);
            plots.emplace(stream.id, rows.bins());
            kept.emplace(stream.id, std::move(rows));
        }
    }
    streams_ = std::move(kept);
    return plots;
}

}  // namespace torven
