#pragma once

#include <string>
#include <vector>

// A serial port Windows has, by the name a program opens it by ("COM7"), with the name Device
// Manager shows for it where there is one ("USB Serial Port (COM7)").
struct SystemPort {
  std::string name;
  std::string friendlyName;
  friend bool operator==(const SystemPort&, const SystemPort&) = default;
};

// The ports of the serial device map (mapped: each value a port name) and of the Ports class of
// devices together: each COM port once, in the order of its number, with the friendly name where a
// device of the class gives one. Names that are no COM port (LPT1, a torn value) are left out.
std::vector<SystemPort> MergeSystemPorts(const std::vector<std::string>& mapped,
                                         const std::vector<SystemPort>& classDevices);

#ifdef _WIN32
// Every serial port Windows has now: the registry's HARDWARE\DEVICEMAP\SERIALCOMM, which lists
// every port a driver made, and the Ports class of SetupAPI, which tells their friendly names.
std::vector<SystemPort> ListSystemPorts();
#endif
