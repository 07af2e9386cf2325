#include "link/SerialDevice.h"

#include "link/ComPortPath.h"
#include "link/NetworkAddress.h"

SerialDevice::SerialDevice() : SerialDevice(DevicePathFor) {}

// Both devices open what this Open resolved, so that the name is resolved once and both agree.
SerialDevice::SerialDevice(DevicePaths devicePaths)
    : devicePaths_(std::move(devicePaths)),
      local_([this](const std::string&) { return path_; }),
      network_([this](const std::string&) { return path_; }),
      active_(&local_) {}

bool SerialDevice::Open(const std::string& comName) {
  active_->Close();
  path_ = devicePaths_(comName);
  active_ = path_ && IsNetworkDeviceName(*path_) ? static_cast<SerialPlatform*>(&network_)
                                                 : static_cast<SerialPlatform*>(&local_);
  return active_->Open(comName);
}

std::string SerialDevice::FailureText() const {
  return active_ == &network_ ? network_.FailureText() : std::string();
}
