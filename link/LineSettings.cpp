#include "link/LineSettings.h"

#include <cerrno>

namespace {

struct RateCode {
  std::uint32_t rate;
  speed_t code;
};

constexpr RateCode kRates[] = {
    {300, B300},   {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},
    {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
};

bool SpeedCode(std::uint32_t rate, speed_t& code) {
  for (const auto& entry : kRates) {
    if (entry.rate == rate) {
      code = entry.code;
      return true;
    }
  }
  return false;
}

bool SizeFlag(std::uint8_t byteSize, tcflag_t& flag) {
  switch (byteSize) {
    case 5:
      flag = CS5;
      return true;
    case 6:
      flag = CS6;
      return true;
    case 7:
      flag = CS7;
      return true;
    case 8:
      flag = CS8;
      return true;
    default:
      return false;
  }
}

}  // namespace

bool BuildLineSettings(const Dcb& dcb, bool pseudoTerminal, termios& settings, int& error) {
  speed_t speed{};
  tcflag_t size{};
  // Linux has no one and a half stop bits, and mark/space parity is not something this tool uses.
  if (!SpeedCode(dcb.BaudRate, speed) || !SizeFlag(dcb.ByteSize, size) ||
      dcb.Parity > kEvenParity || (dcb.StopBits != kOneStopBit && dcb.StopBits != kTwoStopBits)) {
    error = EINVAL;
    return false;
  }

  cfmakeraw(&settings);
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  settings.c_cflag |= size | CLOCAL | CREAD;
  if (dcb.StopBits == kTwoStopBits) settings.c_cflag |= CSTOPB;
  if (dcb.Parity != kNoParity && !pseudoTerminal) {
    settings.c_cflag |= PARENB;
    if (dcb.Parity == kOddParity) settings.c_cflag |= PARODD;
    // Without PARMRK a bad byte reads as 0 and a good 0xFF stays one byte; the error itself is
    // seen in the port's error counters.
    if (dcb.fParity) settings.c_iflag |= INPCK;
  }
  if (dcb.fOutX) settings.c_iflag |= IXON;
  if (dcb.fInX) settings.c_iflag |= IXOFF;
  if (dcb.fOutxCtsFlow) settings.c_cflag |= CRTSCTS;
  // Reads never wait in the kernel: the device waits with poll() against its own deadline.
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
  return true;
}

void ReadLineSettings(const termios& settings, Dcb& dcb) {
  const speed_t speed = cfgetospeed(&settings);
  for (const auto& entry : kRates) {
    if (entry.code == speed) dcb.BaudRate = entry.rate;
  }
  switch (settings.c_cflag & CSIZE) {
    case CS5:
      dcb.ByteSize = 5;
      break;
    case CS6:
      dcb.ByteSize = 6;
      break;
    case CS7:
      dcb.ByteSize = 7;
      break;
    default:
      dcb.ByteSize = 8;
      break;
  }
  if ((settings.c_cflag & PARENB) == 0) {
    dcb.Parity = kNoParity;
  } else {
    dcb.Parity = (settings.c_cflag & PARODD) != 0 ? kOddParity : kEvenParity;
  }
  dcb.StopBits = (settings.c_cflag & CSTOPB) != 0 ? kTwoStopBits : kOneStopBit;
  dcb.fParity = (settings.c_iflag & INPCK) != 0;
  dcb.fOutX = (settings.c_iflag & IXON) != 0;
  dcb.fInX = (settings.c_iflag & IXOFF) != 0;
  dcb.fOutxCtsFlow = (settings.c_cflag & CRTSCTS) != 0;
}
