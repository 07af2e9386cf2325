#pragma once

#include <cstdint>

// The line configuration as the driver thinks of it: one record read from the port, changed
// field by field, and written back. The fields keep the classic device-control-block names, so
// that the driver's configuration steps read one-to-one with its documented table.
struct Dcb {
  std::uint32_t BaudRate = 9600;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  bool fBinary = true;
  bool fParity = false;  // check the parity of received bytes
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  std::uint8_t fDtrControl = 1;  // 0 DTR low, 1 DTR raised while open
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = false;
  bool fOutX = false;
  bool fInX = false;
  bool fErrorChar = false;
  bool fNull = false;
  std::uint8_t fRtsControl = 1;  // 0 RTS low, 1 RTS raised while open
  bool fAbortOnError = false;    // a line error fails transfers until the error state is cleared
};

inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kOddParity = 1;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOneAndHalfStopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;
inline constexpr std::uint8_t kControlEnable = 1;

// Read time-outs in milliseconds: a read of n bytes ends at the latest
// ReadTotalTimeoutConstant + n * ReadTotalTimeoutMultiplier after it began. Writes never time out.
struct CommTimeouts {
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
};

// Which side of the port a purge empties.
enum PurgeFlags : unsigned {
  kPurgeTransmit = 1u << 0,
  kPurgeReceive = 1u << 1,
};
