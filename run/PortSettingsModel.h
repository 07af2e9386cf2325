#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "link/PortDriver.h"
#include "link/PortSettings.h"
#include "run/MessageBoxes.h"

// The settings dialog's logic over the port: the pending settings the radio groups change, the
// committed ones that Cansel restores, the settings file, and the boxes that tell of a port or a
// file that failed. The dialog's window mirrors the three group indices and forwards its clicks
// here.
class PortSettingsModel {
 public:
  PortSettingsModel(PortDriver& port, MessageBoxes& boxes,
                    std::filesystem::path settingsFile = "comm.ini");

  // Told whenever the logic itself moves the group indices, so that the widgets follow.
  void SetGroupsObserver(std::function<void()> onChange) { groupsChanged_ = std::move(onChange); }

  // Opens PortName with the pending settings; shows the failure and returns false otherwise.
  // Does not close an open port first: the callers do.
  bool OpenPort();
  // A run is about to begin. A port that is not open, or whose line was lost, is opened again
  // with the committed settings as Select does (its box when that fails); a healthy port is left
  // as it is.
  void RunStarting();
  // What the port's device said of its last failed open beyond the box's number; often empty.
  std::string FailureText() const { return port_.FailureText(); }

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
  std::string PortName = "COM1";  // pending: the COM group's choice until Select
  std::string CommittedPortName;

  int SelRsComIndex = 0;
  int SelRsBpsIndex = 0;
  int SelStopBitIndex = 0;

 private:
  void NotifyGroups();
  void ApplyDefaults();
  void RestoreCommitted();

  PortDriver& port_;
  MessageBoxes& boxes_;
  std::filesystem::path settingsFile_;
  std::function<void()> groupsChanged_;
};
