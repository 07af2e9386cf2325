#pragma once

#include <optional>
#include <string>
#include <string_view>

// The tool names its ports "COM1".."COM4" everywhere the technician sees them. Each maps to a
// device, the first of: the environment variable QZR71_COMn when it is set and not empty, the
// device the user chose for it (kept in the user's configuration folder), the system's own port
// of that name: /dev/ttyS(n-1) on Linux, \\.\COMn on Windows.
enum class DeviceSource { Environment, UserChoice, SystemDefault };

struct ComPortDevice {
  std::string path;
  DeviceSource source = DeviceSource::SystemDefault;
  friend bool operator==(const ComPortDevice&, const ComPortDevice&) = default;
};

// chosen: the user's device for this name, empty when none. Nothing for names other than COM1..4.
std::optional<ComPortDevice> ResolveComPort(const std::string& comName, const std::string& chosen);

// The device without any user's choice: the environment, else the system's port.
std::optional<std::string> DevicePathFor(const std::string& comName);

// 0..3 for "COM1".."COM4", else nothing.
std::optional<int> ComPortIndex(const std::string& comName);

// The number of a port as Windows names it: "COM" and a number from 1, without leading zeros
// ("COM7", "COM12"); nothing for any other name.
std::optional<unsigned> WindowsPortNumber(std::string_view name);

// What a chosen device opens: a Windows port name as "\\.\COM7", the only form that reaches the
// ports from COM10 on; anything else as it is.
std::string DeviceToOpen(const std::string& chosen);
