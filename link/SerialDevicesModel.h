#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "link/ComPortMap.h"
#include "link/DeviceTree.h"

class PortDriver;

// One COM name's row in the "Serial devices" dialog.
struct DeviceRowView {
  std::string comName;
  // "Default: /dev/ttyS<n-1>", each detected device, "A path typed in"; entry is the chosen one.
  std::vector<std::string> entries;
  int entry = 0;
  bool typed = false;
  std::string typedPath;
  // False while QZR71_COMn rules this name; note then tells so.
  bool editable = true;
  std::string note;
  // The device the row would reach when applied, and whether this user may open it.
  std::string device;
  bool mayOpen = false;
  std::string access;
};

// The "Serial devices" dialog's logic: which device each of COM1..COM4 reaches, chosen from the
// devices present or typed in, kept for the user; the window mirrors the rows and forwards its
// clicks here.
class SerialDevicesModel {
 public:
  SerialDevicesModel(const DeviceTree& tree, ComPortMap& ports, PortDriver& driver,
                     UserIdentity user);

  void SetObserver(std::function<void()> onChange) { changed_ = std::move(onChange); }

  // The dialog opens: the kept choice again, and the devices present now.
  void FormShow();
  // The devices present now; the choices made so far stay.
  void RefreshClick();
  void ChooseEntry(int row, int entry);
  void TypePath(int row, const std::string& path);
  // Keeps the choice and, when the device behind the port in use changed, reopens the port as
  // Select does. False when nothing was applied: a typed path that is not a full path.
  bool ApplyClick();

  const std::array<DeviceRowView, 4>& Rows() const { return rows_; }
  const std::vector<DetectedDevice>& Devices() const { return devices_; }
  // What the last Apply did, or why it did nothing.
  const std::string& Status() const { return status_; }

 private:
  struct Choice {
    std::string path;  // a detected device's, or the kept one; empty for the default
    bool typed = false;
    std::string typedPath;
  };

  static Choice KeptChoice(const std::string& path);
  std::string PendingPath(std::size_t row) const;
  void ShowRows();

  const DeviceTree& tree_;
  ComPortMap& ports_;
  PortDriver& driver_;
  UserIdentity user_;
  std::vector<DetectedDevice> devices_;
  std::array<Choice, 4> choices_;
  std::array<DeviceRowView, 4> rows_;
  std::string status_;
  std::function<void()> changed_;
};
