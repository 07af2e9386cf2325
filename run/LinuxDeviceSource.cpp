#include "run/LinuxDeviceSource.h"

#include "link/ComPortMap.h"

LinuxDeviceSource::LinuxDeviceSource(DeviceTree tree, UserIdentity user)
    : tree_(std::move(tree)), user_(std::move(user)) {}

std::vector<OfferedDevice> LinuxDeviceSource::Scan() const {
  std::vector<OfferedDevice> offered;
  for (const DetectedDevice& device : tree_.Scan()) {
    offered.push_back({device.path, device.description + " (" + device.kernelName + ")"});
  }
  return offered;
}

DeviceCheck LinuxDeviceSource::Check(const std::string& device,
                                     const std::vector<OfferedDevice>&) const {
  // The file itself tells: a path typed in may name a device no scan lists (a pseudo-terminal).
  const DeviceAccess access = tree_.Access(device, user_);
  return {access.verdict == DeviceAccess::Verdict::Allowed, AccessAdvice(access)};
}

std::string LinuxDeviceSource::SystemDevice(std::size_t index) const {
  return "/dev/ttyS" + std::to_string(index);
}

std::string LinuxDeviceSource::LocalName(const std::string& typed) const {
  return IsLocalDeviceName(typed) ? typed : std::string();
}

const DeviceNaming& LinuxDeviceSource::Naming() const {
  static const DeviceNaming naming{
      .typedEntry = "A path typed in",
      .example = "/dev/ttyUSB0",
      .typingAdvice =
          "Type the device's full path, such as /dev/ttyUSB0, or a serial device "
          "server as rfc2217://HOST:PORT.",
  };
  return naming;
}

std::unique_ptr<SerialDeviceSource> ThisMachinesSerialDevices() {
  return std::make_unique<LinuxDeviceSource>(DeviceTree("/"), UserIdentity::OfThisProcess());
}

std::string AccessAdvice(const DeviceAccess& access) {
  switch (access.verdict) {
    case DeviceAccess::Verdict::Allowed:
      return "You may open this device.";
    case DeviceAccess::Verdict::Missing:
      return "There is no such device now: plug the adapter in, or check the path.";
    case DeviceAccess::Verdict::NeedsGroup:
      return "You may not open this device. Add yourself to the group " + access.group +
             ":\n    sudo usermod -aG " + access.group +
             " \"$USER\"\nthen log out and log in again.";
    case DeviceAccess::Verdict::NeedsNewLogin:
      return "You may not open this device yet: you are in the group " + access.group +
             " only from your next login. Log out and log in again.";
    case DeviceAccess::Verdict::Denied:
      break;
  }
  return "You may not open this device, and no group grants it: ask the administrator of this "
         "computer.";
}
