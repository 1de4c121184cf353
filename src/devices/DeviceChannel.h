#pragma once

#include <string>

namespace torven {

class DataCollectionType;

// One input channel of a device: its latest reading, whether that reading is good, and the
// data-collection stream bound to it (not owned; none when the channel is not recorded).
class DeviceChannel {
  public:
    DeviceChannel() = default;
    DeviceChannel(const DeviceChannel&) = delete;
    DeviceChannel& operator=(const DeviceChannel&) = delete;
    virtual ~DeviceChannel() = default;

    // Makes the channel invalid (the link to the device failed).
    virtual void reset() = 0;
    // The latest value as text.
    virtual std::string valueText() const = 0;

    bool valid() const { return valid_; }
    DataCollectionType* collectionType() const { return collectionType_; }
    void setCollectionType(DataCollectionType* type) { collectionType_ = type; }

  protected:
    void setValid(bool valid) { valid_ = valid; }

  private:
    bool valid_ = false;
    DataCollectionType* collectionType_ = nullptr;
};

// The value that stands for "no reading" throughout the program.
inline constexpr double noReading = -9999.999;

}  // namespace torven
