#include "run/WindowsPortSource.h"

#include <algorithm>
#include <cctype>

#include "link/ComPortPath.h"

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

std::string Label(const SystemPort& port) {
  if (port.friendlyName.empty()) return port.name;
  // Windows's friendly names of ports end in their name already: "USB Serial Port (COM7)".
  if (port.friendlyName.find("(" + port.name + ")") != std::string::npos) return port.friendlyName;
  return port.friendlyName + " (" + port.name + ")";
}

}  // namespace

WindowsPortSource::WindowsPortSource(PortList ports) : ports_(std::move(ports)) {}

std::vector<OfferedDevice> WindowsPortSource::Scan() const {
  std::vector<OfferedDevice> offered;
  for (const SystemPort& port : ports_()) offered.push_back({port.name, Label(port)});
  return offered;
}

DeviceCheck WindowsPortSource::Check(const std::string& device,
                                     const std::vector<OfferedDevice>& present) const {
  const bool there = std::any_of(present.begin(), present.end(),
                                 [&](const OfferedDevice& port) { return port.device == device; });
  if (there) return {true, "Windows has this port now."};
  return {false, "Windows has no such port now: plug the adapter in, or check the name."};
}

std::string WindowsPortSource::SystemDevice(std::size_t index) const {
  return "COM" + std::to_string(index + 1);
}

std::string WindowsPortSource::LocalName(const std::string& typed) const {
  // "com7" and "\\.\COM7" name the port as well as "COM7" does; the choice keeps the last.
  std::string name = typed.starts_with(kDevicePrefix) ? typed.substr(kDevicePrefix.size()) : typed;
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return WindowsPortNumber(name) ? name : std::string();
}

const DeviceNaming& WindowsPortSource::Naming() const {
  static const DeviceNaming naming{
      .typedEntry = "A port typed in",
      .example = "COM7",
      .typingAdvice =
          "Type the port's name, such as COM7, or a serial device server as "
          "rfc2217://HOST:PORT.",
  };
  return naming;
}
