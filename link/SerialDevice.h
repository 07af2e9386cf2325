#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/Rfc2217SerialDevice.h"
#include "link/SerialPlatform.h"
#ifdef _WIN32
#include "link/Win32SerialDevice.h"
#else
#include "link/TermiosSerialDevice.h"
#endif

// The serial device the program and the tests that need a real port talk through. At each Open it
// becomes what the COM name reaches: a serial device server when that is named
// "rfc2217://HOST:PORT", else the platform's own port (a terminal device, or a Windows port).
class SerialDevice final : public SerialPlatform {
 public:
  // Which device a COM name opens; nothing when the name has none.
  using DevicePaths = std::function<std::optional<std::string>(const std::string& comName)>;
#ifdef _WIN32
  using LocalDevice = Win32SerialDevice;
#else
  using LocalDevice = TermiosSerialDevice;
#endif

  // Without a resolver, the environment and then the system's port name the devices.
  SerialDevice();
  explicit SerialDevice(DevicePaths devicePaths);
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  bool Open(const std::string& comName) override;
  bool GetCommState(Dcb& dcb) override {
    return active_->GetCommState(dcb);
  }
  bool SetCommState(const Dcb& dcb) override {
    return active_->SetCommState(dcb);
  }
  bool SetCommTimeouts(const CommTimeouts& timeouts) override {
    return active_->SetCommTimeouts(timeouts);
  }
  bool Purge(unsigned flags) override {
    return active_->Purge(flags);
  }
  bool ClearCommError() override {
    return active_->ClearCommError();
  }
  bool Write(const std::uint8_t* bytes, std::uint32_t count) override {
    return active_->Write(bytes, count);
  }
  bool Read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
            IdlePump* pump) override {
    return active_->Read(buffer, count, bytesRead, pump);
  }
  void Close() override {
    active_->Close();
  }
  int LastError() const override {
    return active_->LastError();
  }
  bool LineLost() const override {
    return active_->LineLost();
  }

  bool IsOpen() const {
    return active_ == &local_ ? local_.IsOpen() : network_.IsOpen();
  }
  // For a serial device server: what it did or left undone when the last open failed, in words;
  // empty otherwise.
  std::string FailureText() const override;

 private:
  DevicePaths devicePaths_;
  std::optional<std::string> path_;  // what the COM name reached at the last Open
  LocalDevice local_;
  Rfc2217SerialDevice network_;
  SerialPlatform* active_;
};
