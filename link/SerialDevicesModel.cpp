#include "link/SerialDevicesModel.h"

#include <algorithm>
#include <cctype>

#include "link/PortDriver.h"

namespace {

constexpr const char* kComNames[] = {"COM1", "COM2", "COM3", "COM4"};
constexpr const char* kTypedEntry = "A path typed in";
constexpr const char* kFullPathAdvice = "Type the device's full path, such as /dev/ttyUSB0.";

std::string Trimmed(const std::string& text) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  const auto first = std::find_if_not(text.begin(), text.end(), blank);
  const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
  return first < last ? std::string(first, last) : std::string();
}

std::string DefaultPath(std::size_t row) {
  return "/dev/ttyS" + std::to_string(row);
}

}  // namespace

SerialDevicesModel::SerialDevicesModel(const DeviceTree& tree, ComPortMap& ports,
                                       PortDriver& driver, UserIdentity user)
    : tree_(tree), ports_(ports), driver_(driver), user_(std::move(user)) {
  FormShow();
}

void SerialDevicesModel::FormShow() {
  for (std::size_t row = 0; row < choices_.size(); ++row)
    choices_[row] = KeptChoice(ports_.Choices()[row]);
  status_.clear();
  RefreshClick();
}

void SerialDevicesModel::RefreshClick() {
  devices_ = tree_.Scan();
  ShowRows();
}

void SerialDevicesModel::ChooseEntry(int row, int entry) {
  if (row < 0 || row >= 4 || entry < 0) return;
  Choice& choice = choices_[static_cast<std::size_t>(row)];
  const auto detected = static_cast<int>(devices_.size());
  if (entry == 0) {
    choice = {};
  } else if (entry <= detected) {
    choice = KeptChoice(devices_[static_cast<std::size_t>(entry - 1)].path);
  } else if (entry == detected + 1 && !choice.typed) {
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

std::string SerialDevicesModel::PendingPath(std::size_t row) const {
  const Choice& choice = choices_[row];
  if (choice.typed) return Trimmed(choice.typedPath);
  return choice.path;
}

bool SerialDevicesModel::ApplyClick() {
  DeviceChoices next = ports_.Choices();
  for (std::size_t row = 0; row < next.size(); ++row) {
    // A name the environment rules keeps its kept choice for the day the variable is gone.
    if (!rows_[row].editable) continue;
    const std::string path = PendingPath(row);
    if (choices_[row].typed && !IsUsableDevicePath(path)) {
      status_ = std::string(kComNames[row]) + ": " + kFullPathAdvice + " Nothing was applied.";
      ShowRows();
      return false;
    }
    next[row] = path;
  }

  const std::string inUse = driver_.CommittedPortName;
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
    if (driver_.ReopenPort()) {
      status_ += " " + inUse + " is open on " + *after + ".";
    } else {
      status_ += " " + inUse + " could not be opened on " + *after + ".";
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

    view.entries.assign(1, "Default: " + DefaultPath(row));
    view.entry = -1;
    for (const DetectedDevice& device : devices_) {
      if (!choice.typed && device.path == choice.path) {
        view.entry = static_cast<int>(view.entries.size());
      }
      view.entries.push_back(device.description + " (" + device.kernelName + ")");
    }
    view.entries.push_back(kTypedEntry);
    // A kept device that is not present now shows as the path it is.
    view.typed = choice.typed || (!choice.path.empty() && view.entry < 0);
    view.typedPath = choice.typed ? choice.typedPath : choice.path;
    if (view.typed) view.entry = static_cast<int>(view.entries.size()) - 1;
    if (view.entry < 0) view.entry = 0;

    const auto ruling = ResolveComPort(view.comName, {});
    view.editable = !(ruling && ruling->source == DeviceSource::Environment);
    if (view.editable) {
      view.note.clear();
      const std::string pending = PendingPath(row);
      view.device = pending.empty() && !choice.typed ? DefaultPath(row) : pending;
    } else {
      // The kept choice stays kept, but it is not what the name reaches: do not show it.
      view.entries = {"Set by QZR71_" + view.comName};
      view.entry = 0;
      view.typed = false;
      view.note = "Set by QZR71_" + view.comName + " in the environment, which rules over " +
                  "a choice here. Start the tool without it to choose here.";
      view.device = ruling->path;
    }
    if (IsUsableDevicePath(view.device)) {
      const DeviceAccess access = tree_.Access(view.device, user_);
      view.mayOpen = access.verdict == DeviceAccess::Verdict::Allowed;
      view.access = AccessAdvice(access);
    } else {
      view.mayOpen = false;
      view.access = kFullPathAdvice;
    }
  }
  if (changed_) changed_();
}
