#pragma once

#include <termios.h>

#include <functional>
#include <optional>
#include <string>

#include "link/Dcb.h"
#include "link/LineErrorMonitor.h"
#include "link/SerialPlatform.h"

// The serial services over a Linux terminal device: a UART, a USB adapter or a pseudo-terminal.
// The descriptor is non-blocking underneath; reads and writes block by waiting in poll(), so that
// a silent head ends a read at its deadline and a pulled cable ends it at once.
class TermiosSerialDevice final : public SerialPlatform {
 public:
  // Which device a COM name opens; nothing when the name has none.
  using DevicePaths = std::function<std::optional<std::string>(const std::string& comName)>;

  // Without a resolver, the environment and then /dev/ttyS(n-1) name the devices.
  TermiosSerialDevice();
  explicit TermiosSerialDevice(DevicePaths devicePaths);
  ~TermiosSerialDevice() override;
  TermiosSerialDevice(const TermiosSerialDevice&) = delete;
  TermiosSerialDevice& operator=(const TermiosSerialDevice&) = delete;

  bool Open(const std::string& comName) override;
  bool GetCommState(Dcb& dcb) override;
  bool SetCommState(const Dcb& dcb) override;
  bool SetCommTimeouts(const CommTimeouts& timeouts) override;
  bool Purge(unsigned flags) override;
  bool ClearCommError() override;
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override;
  bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
            IdlePump* pump) override;
  void Close() override;
  int LastError() const override { return lastError_; }
  bool LineLost() const override { return lineLost_; }

  bool IsOpen() const { return fd_ >= 0; }
  bool IsPseudoTerminal() const { return pseudoTerminal_; }
  // The attributes the last successful SetCommState asked for (a pseudo-terminal reads some back
  // differently).
  const termios& LineSettings() const { return lineSettings_; }

 private:
  bool Fail(int error);
  bool Lost(int error);
  bool TransferFailed(int error);
  bool LineErrorPending();
  bool ReadError(int error);

  DevicePaths devicePaths_;
  int fd_ = -1;
  int lastError_ = 0;
  bool lineLost_ = false;
  bool pseudoTerminal_ = false;
  bool countsErrors_ = false;
  Dcb dcb_{};
  termios lineSettings_{};
  CommTimeouts timeouts_{};
  LineErrorMonitor lineErrors_;
};
