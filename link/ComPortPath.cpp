#include "link/ComPortPath.h"

#include <cstdlib>

namespace {

std::string SystemPortPath(int index) {
#ifdef _WIN32
  return "\\\\.\\COM" + std::to_string(index + 1);
#else
  return "/dev/ttyS" + std::to_string(index);
#endif
}

}  // namespace

std::optional<int> ComPortIndex(const std::string& comName) {
  if (comName.size() != 4 || comName.compare(0, 3, "COM") != 0) return std::nullopt;
  const char digit = comName[3];
  if (digit < '1' || digit > '4') return std::nullopt;
  return digit - '1';
}

std::optional<ComPortDevice> ResolveComPort(const std::string& comName, const std::string& chosen) {
  const auto index = ComPortIndex(comName);
  if (!index) return std::nullopt;

  const std::string variable = "QZR71_" + comName;
  if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') {
    return ComPortDevice{path, DeviceSource::Environment};
  }
  if (!chosen.empty()) return ComPortDevice{chosen, DeviceSource::UserChoice};
  return ComPortDevice{SystemPortPath(*index), DeviceSource::SystemDefault};
}

std::optional<std::string> DevicePathFor(const std::string& comName) {
  const auto device = ResolveComPort(comName, {});
  if (!device) return std::nullopt;
  return device->path;
}
