#include "support/FakeStream.h"

#include <utility>

#include "devices/DeviceChannel.h"

namespace torven::test {

FakeStream::FakeStream(std::string id, std::int32_t sampleInterval) {
    setStreamId(std::move(id));
    setSampleInterval(sampleInterval);
}

std::string FakeStream::sampleText() const {
    ++samplesTaken_;
    return boundChannel() ? boundChannel()->valueText() : "";
}

bool FakeStream::isOnline() const {
    return boundChannel() && boundChannel()->valid();
}

std::string FakeStream::headerText(const SiteConfiguration&) const {
    return "# fake stream\n";
}

}  // namespace torven::test
