#include "link/ComPortMap.h"

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "link/NetworkAddress.h"
#include "link/SettingsFile.h"
#include "link/UserConfig.h"

namespace {

constexpr const char* kComNames[] = {"COM1", "COM2", "COM3", "COM4"};
// Far more than four paths need; a larger file is not ours, and is not read whole.
constexpr std::streamsize kLargestFile = 64 * 1024;

}  // namespace

std::filesystem::path DeviceChoiceFile() {
  const std::filesystem::path folder = UserConfigFolder();
  if (folder.empty()) return {};
  return folder / "serial-devices.json";
}

bool IsLocalDeviceName(const std::string& name) {
#ifdef _WIN32
  return WindowsPortNumber(name).has_value();
#else
  return !name.empty() && name.front() == '/' && name.find('\0') == std::string::npos;
#endif
}

bool IsUsableDevicePath(const std::string& path) {
  if (IsNetworkDeviceName(path)) return ParseRfc2217Address(path).has_value();
  return IsLocalDeviceName(path);
}

DeviceChoices LoadDeviceChoices(const std::filesystem::path& file) {
  DeviceChoices choices;
  // Anything but a plain file (a folder, a pipe that would block the start) is no choice.
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return choices;
  std::ifstream in(file, std::ios::binary);
  if (!in) return choices;
  std::string text(static_cast<std::size_t>(kLargestFile) + 1, '\0');
  in.read(text.data(), kLargestFile + 1);
  if (in.gcount() > kLargestFile) return choices;
  text.resize(static_cast<std::size_t>(in.gcount()));

  const nlohmann::json document = nlohmann::json::parse(text, nullptr, false);
  if (!document.is_object()) return choices;
  const auto ports = document.find("ports");
  if (ports == document.end() || !ports->is_object()) return choices;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    const auto entry = ports->find(kComNames[i]);
    if (entry == ports->end() || !entry->is_string()) continue;
    const auto& path = entry->get_ref<const std::string&>();
    if (IsUsableDevicePath(path)) choices[i] = path;
  }
  return choices;
}

std::string DeviceChoicesText(const DeviceChoices& choices) {
  nlohmann::ordered_json ports = nlohmann::ordered_json::object();
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (!choices[i].empty()) ports[kComNames[i]] = choices[i];
  }
  nlohmann::ordered_json document;
  document["ports"] = ports;
  return document.dump(2) + "\n";
}

bool SaveDeviceChoices(const std::filesystem::path& file, const DeviceChoices& choices) {
  if (file.empty() || !MakeUserFolder(file.parent_path())) return false;
  std::string text;
  try {
    text = DeviceChoicesText(choices);
  } catch (const nlohmann::json::exception&) {
    return false;  // a path that is not UTF-8 could not be read back as it was
  }
  return WriteFileAtomically(file, text);
}

ComPortMap::ComPortMap(std::filesystem::path choiceFile)
    : file_(std::move(choiceFile)), choices_(LoadDeviceChoices(file_)) {}

std::optional<ComPortDevice> ComPortMap::Resolve(const std::string& comName) const {
  const auto index = ComPortIndex(comName);
  if (!index) return std::nullopt;
  return ResolveComPort(comName, choices_[static_cast<std::size_t>(*index)]);
}

std::optional<std::string> ComPortMap::DevicePathFor(const std::string& comName) const {
  const auto device = Resolve(comName);
  if (!device) return std::nullopt;
  return device->path;
}

bool ComPortMap::Keep(const DeviceChoices& choices) {
  choices_ = choices;
  return SaveDeviceChoices(file_, choices_);
}
