#pragma once

#include <optional>
#include <string>

// The tool names its ports "COM1".."COM4" everywhere the technician sees them. Each maps to a
// device: the environment variable QZR71_COMn when it is set and not empty (a USB adapter, or the
// pseudo-terminal of the simulated head), otherwise the system's own port of that name:
// /dev/ttyS(n-1) on Linux, \\.\COMn on Windows. Nothing for other names.
std::optional<std::string> DevicePathFor(const std::string& comName);
