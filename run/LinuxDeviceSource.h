#pragma once

#include "link/DeviceTree.h"
#include "run/SerialDeviceSource.h"

// Linux's serial devices: the adapters and ports of the device tree, each by its stable name where
// it has one, and whether this user may open it (the device's group, a login still to come).
class LinuxDeviceSource final : public SerialDeviceSource {
 public:
  LinuxDeviceSource(DeviceTree tree, UserIdentity user);

  std::vector<OfferedDevice> Scan() const override;
  DeviceCheck Check(const std::string& device,
                    const std::vector<OfferedDevice>& present) const override;
  std::string SystemDevice(std::size_t index) const override;
  std::string LocalName(const std::string& typed) const override;
  const DeviceNaming& Naming() const override;

 private:
  DeviceTree tree_;
  UserIdentity user_;
};

// What the dialog says about a device: one sentence, and what to do when it cannot be opened.
std::string AccessAdvice(const DeviceAccess& access);
