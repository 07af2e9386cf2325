#include "run/WindowsPortSource.h"

std::unique_ptr<SerialDeviceSource> ThisMachinesSerialDevices() {
  return std::make_unique<WindowsPortSource>(ListSystemPorts);
}
