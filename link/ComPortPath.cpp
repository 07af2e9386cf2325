#include "link/ComPortPath.h"

#include <cstdlib>

namespace {

std::string SystemPortPath(char digit) {
#ifdef _WIN32
  return std::string("\\\\.\\COM") + digit;
#else
  return "/dev/ttyS" + std::string(1, static_cast<char>(digit - 1));
#endif
}

}  // namespace

std::optional<std::string> DevicePathFor(const std::string& comName) {
  if (comName.size() != 4 || comName.compare(0, 3, "COM") != 0) return std::nullopt;
  const char digit = comName[3];
  if (digit < '1' || digit > '4') return std::nullopt;

  const std::string variable = "QZR71_" + comName;
  if (const char* path = std::getenv(variable.c_str()); path != nullptr && *path != '\0') {
    return std::string(path);
  }
  return SystemPortPath(digit);
}
