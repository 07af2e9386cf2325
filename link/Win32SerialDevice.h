#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/Dcb.h"
#include "link/SerialPlatform.h"

// The serial services over a Windows communications port ("\\.\COMn"), through the documented
// calls: CreateFile for exclusive use, GetCommState/SetCommState, SetCommTimeouts with the total
// read time-out, PurgeComm, ClearCommError, ReadFile/WriteFile and CloseHandle. LastError() is
// GetLastError()'s number, as the port's message box shows it. A port in use is refused with 5
// (access denied), also where the platform itself would let a second opener in.
//
// The port is opened for overlapped I/O so that the window can repaint while a read waits; each
// read and write still completes before the call returns, and the port's own time-outs end reads.
class Win32SerialDevice final : public SerialPlatform {
 public:
  // Which device a COM name opens; nothing when the name has none.
  using DevicePaths = std::function<std::optional<std::string>(const std::string& comName)>;

  // Without a resolver, the environment and then \\.\COMn name the devices.
  Win32SerialDevice();
  explicit Win32SerialDevice(DevicePaths devicePaths);
  ~Win32SerialDevice() override;
  Win32SerialDevice(const Win32SerialDevice&) = delete;
  Win32SerialDevice& operator=(const Win32SerialDevice&) = delete;

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

  bool IsOpen() const { return port_ != nullptr; }

 private:
  bool Fail(unsigned long error);
  bool FailWithLastError();
  // Fails with GetLastError()'s number, and remembers a line that is gone.
  bool TransferFailed();

  DevicePaths devicePaths_;
  void* port_ = nullptr;    // HANDLE of the port, null while closed
  void* ioDone_ = nullptr;  // manual-reset event of the transfer in progress
  void* guard_ = nullptr;   // named mutex held while the port is open
  int lastError_ = 0;
  bool lineLost_ = false;
  CommTimeouts timeouts_{};
};
