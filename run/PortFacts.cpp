#include "run/PortFacts.h"

#include "link/ComPortMap.h"
#include "link/ComPortPath.h"
#include "link/PortDriver.h"

PortFacts DescribePort(const PortDriver& driver) {
  PortFacts port;
  port.name = driver.PortName;
  port.device = DevicePathFor(driver.PortName);
  port.open = driver.PortOpen;
  if (driver.PortOpen) {
    port.line =
        LineFacts{driver.Dcb.BaudRate, driver.Dcb.ByteSize, driver.Dcb.Parity, driver.Dcb.StopBits};
  }
  return port;
}

PortFacts DescribePort(const PortDriver& driver, const ComPortMap& ports) {
  PortFacts port = DescribePort(driver);
  port.device = ports.DevicePathFor(driver.PortName);
  return port;
}
