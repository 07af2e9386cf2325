#include "run/PortFacts.h"

#include "link/ComPortMap.h"
#include "link/ComPortPath.h"
#include "link/PortDriver.h"

PortFacts DescribePort(const PortDriver& port) {
  PortFacts facts;
  facts.name = port.OpenedName();
  facts.device = DevicePathFor(facts.name);
  facts.open = port.IsOpen();
  if (const std::optional<Dcb> line = port.LineInForce()) {
    facts.line = LineFacts{line->BaudRate, line->ByteSize, line->Parity, line->StopBits};
  }
  return facts;
}

PortFacts DescribePort(const PortDriver& port, const ComPortMap& ports) {
  PortFacts facts = DescribePort(port);
  facts.device = ports.DevicePathFor(facts.name);
  return facts;
}
