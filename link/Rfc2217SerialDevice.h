#pragma once

#include <functional>
#include <optional>
#include <string>

#include "link/Dcb.h"
#include "link/SerialPlatform.h"
#include "link/TcpConnection.h"
#include "link/TelnetComPort.h"

// The serial services of a line behind a serial device server, named "rfc2217://HOST:PORT": a
// TCP connection that speaks Telnet with the COM port option of RFC 2217. The line settings go as
// the option's set commands and are open only once the server has echoed each; purges go as its
// purge command; the read time-outs are held here, from each read's start, as on a local port. A
// connection that ends is a line that is gone (LineLost), and Open makes a new one.
//
// No wait for the server is unbounded, and a server that leaves one unanswered fails the open
// with the platform's time-out number; FailureText() says which answer it was.
class Rfc2217SerialDevice final : public SerialPlatform {
 public:
  // Which device a COM name opens; nothing when the name has none.
  using DevicePaths = std::function<std::optional<std::string>(const std::string& comName)>;

  explicit Rfc2217SerialDevice(DevicePaths devicePaths);
  ~Rfc2217SerialDevice() override;
  Rfc2217SerialDevice(const Rfc2217SerialDevice&) = delete;
  Rfc2217SerialDevice& operator=(const Rfc2217SerialDevice&) = delete;

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

  bool IsOpen() const { return connection_.IsOpen(); }
  // What the server did or left undone when the last open or line setting failed, in words.
  std::string FailureText() const override { return failureText_; }

 private:
  enum class Arrival { kBytes, kNothing, kLost };

  bool Fail(int error, std::string text = {});
  bool Usable();
  bool SendToServer(const TelnetComPort::Bytes& bytes);
  // Waits for the server's bytes at the latest until `until`, and takes what came.
  Arrival TakeArrivals(TcpConnection::Clock::time_point until);
  bool OpenFailed(int error, const std::string& text);
  std::uint32_t TakeData(std::uint8_t* buffer, std::uint32_t count);

  DevicePaths devicePaths_;
  TcpConnection connection_;
  TelnetComPort telnet_;
  TelnetComPort::Bytes received_;  // data from the line, not yet read
  std::string server_;             // "HOST:PORT", for the failure texts
  std::string failureText_;
  int lastError_ = 0;
  bool lineLost_ = false;
  bool purgesAnswered_ = false;  // the server answers purges, so that they mark the stream
  Dcb dcb_{};
  CommTimeouts timeouts_{};
};
