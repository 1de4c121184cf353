#pragma once

#include "devices/DeviceChannel.h"

namespace torven {

// A channel holding one analog value, as the DI-194RS delivers them.
class AnalogChannel : public DeviceChannel {
  public:
    // value -9999.999, invalid; the stream link is kept.
    void reset() override;
    // The value as "%+6.3f", whether valid or not (an invalid channel reads -9999.999).
    std::string valueText() const override;

    double value() const { return value_; }
    // A decoded reading: the value, now valid.
    void setReading(double value);

  private:
    double value_ = noReading;
};

}  // namespace torven
