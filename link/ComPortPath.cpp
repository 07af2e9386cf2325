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
  if (!chosen.empty()) return ComPortDevice{DeviceToOpen(chosen), DeviceSource::UserChoice};
  return ComPortDevice{SystemPortPath(*index), DeviceSource::SystemDefault};
}

std::optional<std::string> DevicePathFor(const std::string& comName) {
  const auto device = ResolveComPort(comName, {});
  if (!device) return std::nullopt;
  return device->path;
}

std::optional<unsigned> WindowsPortNumber(std::string_view name) {
  // Up to four digits: more than any machine hands out.
  if (!name.starts_with("COM") || name.size() < 4 || name.size() > 7 || name[3] == '0') {
    return std::nullopt;
  }
  unsigned number = 0;
  for (const char c : name.substr(3)) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  return number;
}

std::string DeviceToOpen(const std::string& chosen) {
  if (WindowsPortNumber(chosen)) return "\\\\.\\" + chosen;
  return chosen;
}
