#include "run/SerialDevicesModel.h"

#include <algorithm>
#include <cctype>

#include "link/NetworkAddress.h"
#include "run/PortSettingsModel.h"

namespace {

constexpr const char* kComNames[] = {"COM1", "COM2", "COM3", "COM4"};
constexpr const char* kServerAdvice =
    "Type the server as rfc2217://HOST:PORT, such as rfc2217://192.168.0.20:3001.";
// Whether the server answers is known only when the port opens; what it must be is known now.
constexpr const char* kServerHint =
    "A serial device server: whether it answers is learnt when the port opens. It must speak "
    "RFC 2217 (Telnet's COM port option), as ser2net's telnet(rfc2217) accepter does:\n"
    "    accepter: telnet(rfc2217),tcp,3001\n"
    "    connector: serialdev,/dev/ttyUSB0,9600e81,local\n"
    "ser2net serving a pseudo-terminal never acknowledges a modem-line request: a "
    "pseudo-terminal has no modem lines.";

std::string Trimmed(const std::string& text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

}  // namespace

SerialDevicesModel::SerialDevicesModel(const SerialDeviceSource& devices, ComPortMap& ports,
                                       PortSettingsModel& settings)
    : devices_(devices), ports_(ports), settings_(settings) {
  FormShow();
}

const std::string& SerialDevicesModel::Intro() {
  static const std::string intro =
      "Choose the device each port name opens, or type a serial device server as "
      "rfc2217://HOST:PORT. Apply keeps the choice for your next start.";
  return intro;
}

void SerialDevicesModel::FormShow() {
  for (std::size_t row = 0; row < choices_.size(); ++row)
    choices_[row] = KeptChoice(ports_.Choices()[row]);
  status_.clear();
  RefreshClick();
}

void SerialDevicesModel::RefreshClick() {
  present_ = devices_.Scan();
  ShowRows();
}

void SerialDevicesModel::DevicesChanged() {
  // Windows tells of every device node that changes, most of them no port.
  std::vector<OfferedDevice> now = devices_.Scan();
  if (now == present_) return;
  present_ = std::move(now);
  ShowRows();
}

void SerialDevicesModel::ChooseEntry(int row, int entry) {
  if (row < 0 || row >= 4 || entry < 0) return;
  Choice& choice = choices_[static_cast<std::size_t>(row)];
  const auto listed = static_cast<int>(present_.size());
  if (entry == 0) {
    choice = {};
  } else if (entry <= listed) {
    choice = KeptChoice(present_[static_cast<std::size_t>(entry - 1)].device);
  } else if (entry == listed + 1 && !choice.typed) {
    // Typing starts from the device chosen so far.
    choice.typedPath = choice.path;
    choice.typed = true;
  }
  ShowRows();
}

void SerialDevicesModel::TypePath(int row, const std::string& path) {
  if (row < 0 || row >= 4) return;
  Choice& choice = choices_[static_cast<std::size_t>(row)];
  choice.typed = true;
  choice.typedPath = path;
  ShowRows();
}

SerialDevicesModel::Choice SerialDevicesModel::KeptChoice(const std::string& path) {
  return {path, false, {}};
}

// A typed name as a choice keeps it: a local device in the platform's own form ("com7" is kept
// as COM7), a server as it was typed.
std::string SerialDevicesModel::KeptForm(const std::string& typed) const {
  const std::string name = Trimmed(typed);
  if (IsNetworkDeviceName(name)) return name;
  const std::string local = devices_.LocalName(name);
  return local.empty() ? name : local;
}

std::string SerialDevicesModel::PendingPath(std::size_t row) const {
  const Choice& choice = choices_[row];
  if (choice.typed) return KeptForm(choice.typedPath);
  return choice.path;
}

std::string SerialDevicesModel::Refusal(const std::string& name) const {
  if (IsNetworkDeviceName(name)) return ParseRfc2217Address(name) ? "" : kServerAdvice;
  return devices_.LocalName(name).empty() ? devices_.Naming().typingAdvice : "";
}

DeviceCheck SerialDevicesModel::Check(const std::string& device) const {
  if (const std::string refusal = Refusal(device); !refusal.empty()) return {false, refusal};
  // A server is as present as its name is well-formed.
  if (IsNetworkDeviceName(device)) return {true, kServerHint};
  return devices_.Check(devices_.LocalName(device), present_);
}

bool SerialDevicesModel::ApplyClick() {
  DeviceChoices next = ports_.Choices();
  for (std::size_t row = 0; row < next.size(); ++row) {
    // A name the environment rules keeps its kept choice for the day the variable is gone.
    if (!rows_[row].editable) continue;
    const std::string path = PendingPath(row);
    if (choices_[row].typed) {
      if (const std::string refusal = Refusal(path); !refusal.empty()) {
        status_ = std::string(kComNames[row]) + ": " + refusal + " Nothing was applied.";
        ShowRows();
        return false;
      }
    }
    next[row] = path;
  }

  const std::string inUse = settings_.CommittedPortName;
  const auto before = ports_.DevicePathFor(inUse);
  if (ports_.Keep(next)) {
    status_ = "Kept for your next start in " + ports_.File().string() + ".";
  } else {
    status_ = "Applied, but it could not be kept in " +
              (ports_.File().empty() ? std::string("your configuration folder")
                                     : ports_.File().string()) +
              ": it holds until the tool ends.";
  }
  const auto after = ports_.DevicePathFor(inUse);
  if (before != after && after) {
    const auto index = static_cast<std::size_t>(*ComPortIndex(inUse));
    const std::string shown = next[index].empty() ? devices_.SystemDevice(index) : next[index];
    if (settings_.ReopenPort()) {
      status_ += " " + inUse + " is open on " + shown + ".";
    } else {
      status_ += " " + inUse + " could not be opened on " + shown + ".";
      if (const std::string why = settings_.FailureText(); !why.empty()) status_ += " " + why + ".";
    }
  }
  // What is kept is what the rows show from now on.
  for (std::size_t row = 0; row < choices_.size(); ++row) {
    if (rows_[row].editable) choices_[row] = KeptChoice(next[row]);
  }
  ShowRows();
  return true;
}

void SerialDevicesModel::ShowRows() {
  for (std::size_t row = 0; row < rows_.size(); ++row) {
    DeviceRowView& view = rows_[row];
    const Choice& choice = choices_[row];
    view.comName = kComNames[row];

    view.entries.assign(1, "Default: " + devices_.SystemDevice(row));
    view.entry = -1;
    for (const OfferedDevice& device : present_) {
      if (!choice.typed && device.device == choice.path) {
        view.entry = static_cast<int>(view.entries.size());
      }
      view.entries.push_back(device.label);
    }
    view.entries.push_back(devices_.Naming().typedEntry);
    // A kept device that is not present now shows as the name it is.
    view.typed = choice.typed || (!choice.path.empty() && view.entry < 0);
    view.typedPath = choice.typed ? choice.typedPath : choice.path;
    if (view.typed) view.entry = static_cast<int>(view.entries.size()) - 1;
    if (view.entry < 0) view.entry = 0;

    const auto ruling = ResolveComPort(view.comName, {});
    view.editable = !(ruling && ruling->source == DeviceSource::Environment);
    if (view.editable) {
      view.note.clear();
      const std::string pending = PendingPath(row);
      view.device = pending.empty() && !choice.typed ? devices_.SystemDevice(row) : pending;
    } else {
      // The kept choice stays kept, but it is not what the name reaches: do not show it.
      view.entries = {"Set by QZR71_" + view.comName};
      view.entry = 0;
      view.typed = false;
      view.note = "Set by QZR71_" + view.comName + " in the environment, which rules over " +
                  "a choice here. Start the tool without it to choose here.";
      view.device = ruling->path;
    }
    const DeviceCheck check = Check(view.device);
    view.mayOpen = check.mayOpen;
    view.access = check.advice;
  }
  if (changed_) changed_();
}
