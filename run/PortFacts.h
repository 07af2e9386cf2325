#pragma once

// The port a run goes through, as a value: what the records of runs keep of it, learnt from the
// port where the program is wired, so that the records never read the port.

#include <cstdint>
#include <optional>
#include <string>

class ComPortMap;
class PortDriver;

// The line settings are known only while the port is open.
struct LineFacts {
  std::uint32_t baudRate = 0;
  std::uint8_t byteSize = 8;
  std::uint8_t parity = 0;    // as in Dcb: 0 none, 1 odd, 2 even
  std::uint8_t stopBits = 0;  // as in Dcb: 0 one, 1 one and a half, 2 two
};

struct PortFacts {
  std::string name;                   // "COM1"
  std::optional<std::string> device;  // the device the name maps to
  bool open = false;
  std::optional<LineFacts> line;
};

// The port as it is open: the name opened (or last tried), the device it maps to, and the line
// settings in force. A choice still pending in the settings dialog is no part of it.
PortFacts DescribePort(const PortDriver& port);
// The same, the device being the one the name reaches with the user's own choice.
PortFacts DescribePort(const PortDriver& port, const ComPortMap& ports);
