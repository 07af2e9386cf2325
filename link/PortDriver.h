#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "link/Dcb.h"
#include "link/IdlePump.h"
#include "link/PortLink.h"
#include "link/PortSettings.h"
#include "link/SerialPlatform.h"

// The port the whole tool talks through: opening a device, setting up its line, the two raw
// transfers with their purges and time-outs, and closing. It shows nothing: a failed step comes
// back as false, with LastError() and FailureText() telling why.
class PortDriver final : public PortLink {
 public:
  explicit PortDriver(SerialPlatform& platform);

  void SetIdlePump(IdlePump* pump) { pump_ = pump; }

  // Opens the named port ("COM1"). Does not close a port open before: the caller does.
  bool OpenDevice(const std::string& name);
  // Purges both sides and sets the line to these settings, with the fixed handshake and the read
  // time-outs. A refused line closes the port again, which left open would stay locked against
  // the next open of the same port. True when the port is open and ready.
  bool ConfigureLine(const PortSettings& settings);
  void Close();

  // Open, with its line set up.
  bool IsOpen() const { return open_; }
  // The name given to the last OpenDevice: the port open now, or the one last tried.
  const std::string& OpenedName() const { return name_; }
  // The line as it was set up, while the port is open.
  std::optional<Dcb> LineInForce() const;
  // The line went away under an open port (a hang-up, an adapter pulled, a dropped connection).
  bool LineLost() const { return platform_.LineLost(); }
  // The error number of the last failed open or line set-up.
  int LastError() const { return error_; }
  // What the port's device said of its last failed open beyond the error number; often empty.
  std::string FailureText() const { return platform_.FailureText(); }

  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override;
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override;

 private:
  void SetTimeouts();
  void WaitForASecondAnswer(std::uint8_t count) const;

  SerialPlatform& platform_;
  IdlePump* pump_ = nullptr;
  std::string name_;
  bool open_ = false;
  int error_ = 0;
  ::Dcb dcb_;
  bool answerMayFollow_ = false;  // the last read ended short
};
