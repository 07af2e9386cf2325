#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "link/ComPortMap.h"
#include "run/SerialDeviceSource.h"

class PortSettingsModel;

// One COM name's row in the "Serial devices" dialog.
struct DeviceRowView {
  std::string comName;
  // "Default: /dev/ttyS<n-1>" (or COMn), each device present, the entry for a name typed in;
  // entry is the chosen one.
  std::vector<std::string> entries;
  int entry = 0;
  bool typed = false;
  std::string typedPath;
  // False while QZR71_COMn rules this name; note then tells so.
  bool editable = true;
  std::string note;
  // The device the row would reach when applied, whether it may be opened now, and what to do
  // if not (or, for a serial device server, how it must be set up).
  std::string device;
  bool mayOpen = false;
  std::string access;
};

// The "Serial devices" dialog's logic, the same on Linux and Windows: which device each of
// COM1..COM4 reaches, chosen from the devices present or typed in (a serial device server too),
// kept for the user. The windows mirror the rows and forward their clicks here.
class SerialDevicesModel {
 public:
  SerialDevicesModel(const SerialDeviceSource& devices, ComPortMap& ports,
                     PortSettingsModel& settings);

  void SetObserver(std::function<void()> onChange) { changed_ = std::move(onChange); }

  // The dialog opens: the kept choice again, and the devices present now.
  void FormShow();
  // The devices present now; the choices made so far stay.
  void RefreshClick();
  // The system tells that a device came or went: as Refresh, but the rows are shown again only
  // when the devices present changed.
  void DevicesChanged();
  void ChooseEntry(int row, int entry);
  void TypePath(int row, const std::string& path);
  // Keeps the choice and, when the device behind the port in use changed, reopens the port as
  // Select does. False when nothing was applied: a typed name that names no device.
  bool ApplyClick();

  const std::array<DeviceRowView, 4>& Rows() const { return rows_; }
  const std::vector<OfferedDevice>& Devices() const { return present_; }
  // What the last Apply did, or why it did nothing.
  const std::string& Status() const { return status_; }
  // The dialog's first sentence, and what the field for a typed name shows while empty.
  static const std::string& Intro();
  const std::string& TypedExample() const { return devices_.Naming().example; }

 private:
  struct Choice {
    std::string path;  // a listed device's, or the kept one; empty for the default
    bool typed = false;
    std::string typedPath;
  };

  static Choice KeptChoice(const std::string& path);
  std::string PendingPath(std::size_t row) const;
  std::string KeptForm(const std::string& typed) const;
  // Why a name cannot be kept; empty when it can.
  std::string Refusal(const std::string& name) const;
  DeviceCheck Check(const std::string& device) const;
  void ShowRows();

  const SerialDeviceSource& devices_;
  ComPortMap& ports_;
  PortSettingsModel& settings_;
  std::vector<OfferedDevice> present_;
  std::array<Choice, 4> choices_;
  std::array<DeviceRowView, 4> rows_;
  std::string status_;
  std::function<void()> changed_;
};
