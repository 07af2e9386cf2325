#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "link/Dcb.h"
#include "link/IdlePump.h"
#include "link/MessageBoxes.h"
#include "link/PortLink.h"
#include "link/PortSettings.h"
#include "link/SerialPlatform.h"

// The port the whole tool talks through, and the settings dialog's logic around it: the pending
// settings the radio groups change, the committed ones that Cansel restores, the settings file.
// The dialog's window mirrors the three group indices and forwards its clicks here.
class PortDriver final : public PortLink {
 public:
  PortDriver(SerialPlatform& platform, MessageBoxes& boxes,
             std::filesystem::path settingsFile = "comm.ini");

  void SetIdlePump(IdlePump* pump) { pump_ = pump; }
  // Told whenever the logic itself moves the group indices, so that the widgets follow.
  void SetGroupsObserver(std::function<void()> onChange) { groupsChanged_ = std::move(onChange); }

  // Opens PortName with the pending settings; shows the failure and returns false otherwise.
  // Neither closes an open port first nor sets PortOpen: the callers do.
  bool OpenPort();
  void SetTimeouts();
  bool WritePort(std::uint8_t count, const std::uint8_t* bytes) override;
  std::uint32_t ReadPort(std::uint8_t count, std::uint8_t* buffer) override;
  // A port that is not open, or whose line was lost, is opened again with the committed settings
  // as Select does (its box when that fails); a healthy port is left as it is.
  void RunStarting() override;
  // What the port's device said of its last failed open beyond the box's number; often empty.
  std::string FailureText() const { return platform_.FailureText(); }

  void FormCreate();
  void SelRsComClick(int entry);
  void SelRsBpsClick(int entry);
  void SelStopBitClick(int entry);
  // Select: reopens the port with the pending settings. True when the dialog is to be hidden.
  bool OkBtnClick();
  // Cansel: back to the committed settings; the port is left as it is.
  void CloseBtnClick();
  // The device behind the committed port name changed: closes the port and opens it again with
  // the committed settings, as Select does. A choice pending in the dialog stays pending.
  bool ReopenPort();

  void SelectPort(int index);
  void SetBaudRate(std::int32_t rate);
  void SelectStopBits(int index);
  void SetCharFormat();
  void LoadSettings();
  void SaveSettings();

  PortSettings Pending;
  PortSettings Committed;
  std::string PortName = "COM1";
  bool PortOpen = false;
  std::string CommittedPortName;
  ::Dcb Dcb;

  int SelRsComIndex = 0;
  int SelRsBpsIndex = 0;
  int SelStopBitIndex = 0;

 private:
  void NotifyGroups();
  void WaitForASecondAnswer(std::uint8_t count) const;
  void ApplyDefaults();
  void RestoreCommitted();

  SerialPlatform& platform_;
  MessageBoxes& boxes_;
  std::filesystem::path settingsFile_;
  IdlePump* pump_ = nullptr;
  std::function<void()> groupsChanged_;
  bool answerMayFollow_ = false;  // the last read ended short
};
