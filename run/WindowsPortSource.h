#pragma once

#include <functional>

#include "link/SystemPorts.h"
#include "run/SerialDeviceSource.h"

// Windows's serial ports: every COM port the system has, by its friendly name where it has one.
// A port is there or not; whether another program holds it is learnt when it opens.
class WindowsPortSource final : public SerialDeviceSource {
 public:
  using PortList = std::function<std::vector<SystemPort>()>;
  explicit WindowsPortSource(PortList ports);

  std::vector<OfferedDevice> Scan() const override;
  DeviceCheck Check(const std::string& device,
                    const std::vector<OfferedDevice>& present) const override;
  std::string SystemDevice(std::size_t index) const override;
  std::string LocalName(const std::string& typed) const override;
  const DeviceNaming& Naming() const override;

 private:
  PortList ports_;
};
