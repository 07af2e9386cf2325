#include "link/SystemPorts.h"

#include <algorithm>
#include <map>

#include "link/ComPortPath.h"

std::vector<SystemPort> MergeSystemPorts(const std::vector<std::string>& mapped,
                                         const std::vector<SystemPort>& classDevices) {
  std::map<unsigned, SystemPort> ports;
  for (const std::string& name : mapped) {
    if (const auto number = WindowsPortNumber(name))
      ports.try_emplace(*number, SystemPort{name, {}});
  }
  // A port of the class that no driver put in the map is still a port: a program can open it.
  for (const SystemPort& device : classDevices) {
    const auto number = WindowsPortNumber(device.name);
    if (!number) continue;
    SystemPort& port = ports.try_emplace(*number, SystemPort{device.name, {}}).first->second;
    if (port.friendlyName.empty()) port.friendlyName = device.friendlyName;
  }
  std::vector<SystemPort> merged;
  merged.reserve(ports.size());
  for (auto& [number, port] : ports) merged.push_back(std::move(port));
  return merged;
}
