#include "link/PortDriver.h"

#include <chrono>
#include <thread>

PortDriver::PortDriver(SerialPlatform& platform) : platform_(platform) {}

bool PortDriver::OpenDevice(const std::string& name) {
  name_ = name;
  open_ = false;
  if (platform_.Open(name)) return true;
  error_ = platform_.LastError();
  return false;
}

bool PortDriver::ConfigureLine(const PortSettings& settings) {
  platform_.Purge(kPurgeTransmit | kPurgeReceive);
  platform_.GetCommState(dcb_);

  dcb_.BaudRate = static_cast<std::uint32_t>(settings.BaudRate);
  dcb_.ByteSize = settings.ByteSize;
  dcb_.Parity = settings.Parity;
  dcb_.StopBits = settings.StopBits;
  dcb_.fBinary = true;
  dcb_.fParity = true;
  dcb_.fOutxCtsFlow = false;
  dcb_.fOutxDsrFlow = false;
  dcb_.fDtrControl = kControlEnable;
  dcb_.fOutX = false;
  dcb_.fInX = false;
  dcb_.fErrorChar = false;
  dcb_.fNull = false;
  dcb_.fRtsControl = kControlEnable;
  dcb_.fAbortOnError = true;

  if (!platform_.SetCommState(dcb_)) {
    // Taken before the close, which may leave a number of its own.
    error_ = platform_.LastError();
    platform_.Close();
    return false;
  }
  SetTimeouts();
  open_ = true;
  return true;
}

void PortDriver::Close() {
  platform_.Close();
  open_ = false;
}

std::optional<Dcb> PortDriver::LineInForce() const {
  if (!open_) return std::nullopt;
  return dcb_;
}

void PortDriver::SetTimeouts() {
  CommTimeouts timeouts;
  timeouts.ReadTotalTimeoutMultiplier = 5;
  timeouts.ReadTotalTimeoutConstant = 500;
  platform_.SetCommTimeouts(timeouts);
}

bool PortDriver::WritePort(std::uint8_t count, const std::uint8_t* bytes) {
  // Whatever waits in the receive buffer answers an earlier request: the second answer of a
  // retried one, stray bytes after a reply. Read as the start of this request's answer, it would
  // shift every byte of the reply.
  platform_.Purge(kPurgeTransmit | kPurgeReceive);
  platform_.ClearCommError();
  if (!platform_.Write(bytes, count)) {
    platform_.ClearCommError();
    return false;
  }
  // No transmit purge after the write: the write returns once the bytes have left, and on a
  // pseudo-terminal that purge would discard the request before the head has read it.
  return true;
}

std::uint32_t PortDriver::ReadPort(std::uint8_t count, std::uint8_t* buffer) {
  std::uint32_t bytesRead = 0;
  if (platform_.Read(buffer, count, bytesRead, pump_)) {
    // After a read that ended short, the head may answer the request and its retransmission
    // both: what this read took may be the late first answer, with the second on its way. It is
    // let arrive, so that the purge takes it instead of the next request's read.
    if (bytesRead == count && answerMayFollow_) WaitForASecondAnswer(count);
    answerMayFollow_ = bytesRead < count;
    platform_.Purge(kPurgeReceive);
    return bytesRead;
  }
  answerMayFollow_ = true;
  platform_.ClearCommError();
  platform_.Purge(kPurgeReceive);
  return 0;
}

void PortDriver::WaitForASecondAnswer(std::uint8_t count) const {
  // The answer's wire time at twelve bits a byte, and the head's turn-around.
  constexpr auto kTurnAround = std::chrono::milliseconds(10);
  const std::uint32_t baud = dcb_.BaudRate > 0 ? dcb_.BaudRate : 9600;
  std::this_thread::sleep_for(std::chrono::microseconds(12'000'000ull * count / baud) +
                              kTurnAround);
}
