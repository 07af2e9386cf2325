#include "run/PortSettingsModel.h"

#include <fstream>

#include "link/PortText.h"
#include "link/SettingsFile.h"

namespace {

constexpr std::int32_t kBaudRates[] = {2400, 9600, 19200};
constexpr const char* kPortNames[] = {"COM1", "COM2", "COM3", "COM4"};
constexpr int kPortEntries = 2;  // the dialog offers COM1 and COM2; the file may name COM3, COM4

int PortIndexOf(const std::string& name) {
  for (int i = 0; i < 4; ++i) {
    if (name == kPortNames[i]) return i;
  }
  return -1;
}

}  // namespace

PortSettingsModel::PortSettingsModel(PortDriver& port, MessageBoxes& boxes,
                                     std::filesystem::path settingsFile)
    : port_(port), boxes_(boxes), settingsFile_(std::move(settingsFile)) {}

bool PortSettingsModel::OpenPort() {
  if (!port_.OpenDevice(PortName)) {
    boxes_.ShowExclamation(PortFailureText(port_.LastError()), kPortCaption);
    return false;
  }
  SaveSettings();
  if (!port_.ConfigureLine(Pending)) {
    boxes_.ShowExclamation(PortFailureText(port_.LastError()), kPortCaption);
    return false;
  }
  return true;
}

void PortSettingsModel::RunStarting() {
  // A cable pulled and plugged in again, an adapter taken out and put back, a server that dropped
  // the connection, or a port another program held at the last open: the technician's next Start
  // is to reach the head without knowing that Select would have opened the line again.
  if (port_.IsOpen() && !port_.LineLost()) return;
  ReopenPort();
}

void PortSettingsModel::FormCreate() {
  LoadSettings();
  OpenPort();
}

void PortSettingsModel::SelRsComClick(int entry) {
  if (entry < 0 || entry >= kPortEntries) return;
  SelRsComIndex = entry;
  SelectPort(entry);
}

void PortSettingsModel::SelRsBpsClick(int entry) {
  if (entry < 0 || entry > 2) return;
  SelRsBpsIndex = entry;
  SetBaudRate(kBaudRates[entry]);
}

void PortSettingsModel::SelStopBitClick(int entry) {
  if (entry < 0 || entry > 1) return;
  SelStopBitIndex = entry;
  SelectStopBits(entry);
}

bool PortSettingsModel::OkBtnClick() {
  if (port_.IsOpen()) port_.Close();
  if (!OpenPort()) return false;
  Committed = Pending;
  CommittedPortName = PortName;
  return true;
}

bool PortSettingsModel::ReopenPort() {
  const PortSettings pending = Pending;
  const std::string pendingName = PortName;
  const int groups[] = {SelRsComIndex, SelRsBpsIndex, SelStopBitIndex};
  RestoreCommitted();
  const bool opened = OkBtnClick();
  Pending = pending;
  PortName = pendingName;
  SelRsComIndex = groups[0];
  SelRsBpsIndex = groups[1];
  SelStopBitIndex = groups[2];
  return opened;
}

void PortSettingsModel::CloseBtnClick() {
  RestoreCommitted();
  NotifyGroups();
}

void PortSettingsModel::RestoreCommitted() {
  Pending = Committed;
  PortName = CommittedPortName;
  if (Pending.StopBits == kOneStopBit) SelStopBitIndex = 0;
  if (Pending.StopBits == kTwoStopBits) SelStopBitIndex = 1;
  for (int entry = 0; entry < 3; ++entry) {
    if (Pending.BaudRate == kBaudRates[entry]) SelRsBpsIndex = entry;
  }
  SelRsComIndex = PortName == kPortNames[0] ? 0 : 1;
}

void PortSettingsModel::SelectPort(int index) {
  PortName = (index >= 0 && index < 4) ? kPortNames[index] : kPortNames[0];
}

void PortSettingsModel::SetBaudRate(std::int32_t rate) {
  Pending.BaudRate = rate;
}

void PortSettingsModel::SelectStopBits(int index) {
  Pending.StopBits = index == 1 ? kTwoStopBits : kOneStopBit;
}

void PortSettingsModel::SetCharFormat() {
  Pending.Parity = kEvenParity;
  Pending.ByteSize = 8;
}

void PortSettingsModel::ApplyDefaults() {
  SelRsBpsIndex = 1;
  SetBaudRate(9600);
  SelRsComIndex = 0;
  SelectPort(0);
  SelStopBitIndex = 0;
  SelectStopBits(0);
  SetCharFormat();
}

void PortSettingsModel::LoadSettings() {
  std::error_code ignored;
  std::ifstream file;
  if (!std::filesystem::is_directory(settingsFile_, ignored)) {
    file.open(settingsFile_, std::ios::binary);
  }
  ApplyDefaults();
  if (!file.is_open()) {
    boxes_.ShowExclamation(kCannotOpenFileText, kReadFileCaption);
  } else {
    const SettingsChoice choice = ParseSettings(file);
    if (choice.BaudEntry) {
      SelRsBpsIndex = *choice.BaudEntry;
      SetBaudRate(kBaudRates[*choice.BaudEntry]);
    }
    if (choice.PortIndex) {
      SelRsComIndex = std::min(*choice.PortIndex, kPortEntries - 1);
      SelectPort(*choice.PortIndex);
    }
    if (choice.StopEntry) {
      SelStopBitIndex = *choice.StopEntry;
      SelectStopBits(*choice.StopEntry);
    }
  }
  Committed = Pending;
  CommittedPortName = PortName;
  NotifyGroups();
}

void PortSettingsModel::SaveSettings() {
  // The port line names the port actually opened. The group can show only COM1 and COM2, and
  // writing its entry would turn a COM3 or COM4 that just worked into COM2 for the next start.
  const int portIndex = PortIndexOf(PortName);
  const std::string text =
      SettingsFileText(SelRsBpsIndex, portIndex >= 0 ? portIndex : SelRsComIndex, SelStopBitIndex);
  if (!WriteFileAtomically(settingsFile_, text)) {
    boxes_.ShowExclamation(kCannotOpenFileText, kWriteFileCaption);
  }
}

void PortSettingsModel::NotifyGroups() {
  if (groupsChanged_) groupsChanged_();
}
