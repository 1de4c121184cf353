#include "devices/AnalogChannel.h"

#include "platform/TextFormat.h"

namespace torven {

void AnalogChannel::reset() {
    value_ = noReading;
    setValid(false);
}

std::string AnalogChannel::valueText() const {
    return formatText("%+6.3f", value_);
}

void AnalogChannel::setReading(double value) {
    value_ = value;
    setValid(true);
}

}  // namespace torven
