#include "link/PortDriver.h"

#include <chrono>
#include <fstream>
#include <thread>

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

PortDriver::PortDriver(SerialPlatform& platform, MessageBoxes& boxes,
                       std::filesystem::path settingsFile)
    : platform_(platform), boxes_(boxes), settingsFile_(std::move(settingsFile)) {}

bool PortDriver::OpenPort() {
  if (!platform_.Open(PortName)) {
    boxes_.ShowExclamation(PortFailureText(platform_.LastError()), kPortCaption);
    return false;
  }
  SaveSettings();
  platform_.Purge(kPurgeTransmit | kPurgeReceive);
  platform_.GetCommState(Dcb);

  Dcb.BaudRate = static_cast<std::uint32_t>(Pending.BaudRate);
  Dcb.ByteSize = Pending.ByteSize;
  Dcb.Parity = Pending.Parity;
  Dcb.StopBits = Pending.StopBits;
  Dcb.fBinary = true;
  Dcb.fParity = true;
  Dcb.fOutxCtsFlow = false;
  Dcb.fOutxDsrFlow = false;
  Dcb.fDtrControl = kControlEnable;
  Dcb.fOutX = false;
  Dcb.fInX = false;
  Dcb.fErrorChar = false;
  Dcb.fNull = false;
  Dcb.fRtsControl = kControlEnable;
  Dcb.fAbortOnError = true;

  if (!platform_.SetCommState(Dcb)) {
    const int error = platform_.LastError();
    // Left open, the port would stay locked against the next Select's open of the same port.
    platform_.Close();
    boxes_.ShowExclamation(PortFailureText(error), kPortCaption);
    return false;
  }
  SetTimeouts();
  return true;
}

void PortDriver::SetTimeouts() {
  CommTimeouts timeouts;
  timeouts.ReadTotalTimeoutMultiplier = 5;
  timeouts.ReadTotalTimeoutConstant = 500;
  platform_.SetCommTimeouts(timeouts);
}

bool PortDriver::WritePort(std::uint8_t count, const std::uint8_t* bytes) {
  // Whatever waits in the receive buffer answers an earlier request: the second answer of a
  // retried one, stray bytes after a reply. Read as the start of this request's answer, it would
  // shift every byte of the reply.
  platform_.Purge(kPurgeTransmit | kPurgeReceive);
  platform_.ClearCommError();
  if (!platform_.Write(bytes, count)) {
    platform_.ClearCommError();
    return false;
  }
  // No transmit purge after the write: the write returns once the bytes have left, and on a
  // pseudo-terminal that purge would discard the request before the head has read it.
  return true;
}

std::uint32_t PortDriver::ReadPort(std::uint8_t count, std::uint8_t* buffer) {
  std::uint32_t bytesRead = 0;
  if (platform_.Read(buffer, count, bytesRead, pump_)) {
    // After a read that ended short, the head may answer the request and its retransmission
    // both: what this read took may be the late first answer, with the second on its way. It is
    // let arrive, so that the purge takes it instead of the next request's read.
    if (bytesRead == count && answerMayFollow_) WaitForASecondAnswer(count);
    answerMayFollow_ = bytesRead < count;
    platform_.Purge(kPurgeReceive);
    return bytesRead;
  }
  answerMayFollow_ = true;
  platform_.ClearCommError();
  platform_.Purge(kPurgeReceive);
  return 0;
}

void PortDriver::RunStarting() {
  // A cable pulled and plugged in again, an adapter taken out and put back, a server that dropped
  // the connection, or a port another program held at the last open: the technician's next Start
  // is to reach the head without knowing that Select would have opened the line again.
  if (PortOpen && !platform_.LineLost()) return;
  ReopenPort();
}

void PortDriver::WaitForASecondAnswer(std::uint8_t count) const {
  // The answer's wire time at twelve bits a byte, and the head's turn-around.
  constexpr auto kTurnAround = std::chrono::milliseconds(10);
  const std::uint32_t baud = Dcb.BaudRate > 0 ? Dcb.BaudRate : 9600;
  std::this_thread::sleep_for(std::chrono::microseconds(12'000'000ull * count / baud) +
                              kTurnAround);
}

void PortDriver::FormCreate() {
  LoadSettings();
  if (OpenPort()) PortOpen = true;
}

void PortDriver::SelRsComClick(int entry) {
  if (entry < 0 || entry >= kPortEntries) return;
  SelRsComIndex = entry;
  SelectPort(entry);
}

void PortDriver::SelRsBpsClick(int entry) {
  if (entry < 0 || entry > 2) return;
  SelRsBpsIndex = entry;
  SetBaudRate(kBaudRates[entry]);
}

void PortDriver::SelStopBitClick(int entry) {
  if (entry < 0 || entry > 1) return;
  SelStopBitIndex = entry;
  SelectStopBits(entry);
}

bool PortDriver::OkBtnClick() {
  if (PortOpen) {
    platform_.Close();
    PortOpen = false;
  }
  if (!OpenPort()) return false;
  PortOpen = true;
  Committed = Pending;
  CommittedPortName = PortName;
  return true;
}

bool PortDriver::ReopenPort() {
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

void PortDriver::CloseBtnClick() {
  RestoreCommitted();
  NotifyGroups();
}

void PortDriver::RestoreCommitted() {
  Pending = Committed;
  PortName = CommittedPortName;
  if (Pending.StopBits == kOneStopBit) SelStopBitIndex = 0;
  if (Pending.StopBits == kTwoStopBits) SelStopBitIndex = 1;
  for (int entry = 0; entry < 3; ++entry) {
    if (Pending.BaudRate == kBaudRates[entry]) SelRsBpsIndex = entry;
  }
  SelRsComIndex = PortName == kPortNames[0] ? 0 : 1;
}

void PortDriver::SelectPort(int index) {
  PortName = (index >= 0 && index < 4) ? kPortNames[index] : kPortNames[0];
}

void PortDriver::SetBaudRate(std::int32_t rate) {
  Pending.BaudRate = rate;
}

void PortDriver::SelectStopBits(int index) {
  Pending.StopBits = index == 1 ? kTwoStopBits : kOneStopBit;
}

void PortDriver::SetCharFormat() {
  Pending.Parity = kEvenParity;
  Pending.ByteSize = 8;
}

void PortDriver::ApplyDefaults() {
  SelRsBpsIndex = 1;
  SetBaudRate(9600);
  SelRsComIndex = 0;
  SelectPort(0);
  SelStopBitIndex = 0;
  SelectStopBits(0);
  SetCharFormat();
}

void PortDriver::LoadSettings() {
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
  PortOpen = false;
  Committed = Pending;
  CommittedPortName = PortName;
  NotifyGroups();
}

void PortDriver::SaveSettings() {
  // The port line names the port actually opened. The group can show only COM1 and COM2, and
  // writing its entry would turn a COM3 or COM4 that just worked into COM2 for the next start.
  const int portIndex = PortIndexOf(PortName);
  const std::string text =
      SettingsFileText(SelRsBpsIndex, portIndex >= 0 ? portIndex : SelRsComIndex, SelStopBitIndex);
  if (!WriteFileAtomically(settingsFile_, text)) {
    boxes_.ShowExclamation(kCannotOpenFileText, kWriteFileCaption);
  }
}

void PortDriver::NotifyGroups() {
  if (groupsChanged_) groupsChanged_();
}
