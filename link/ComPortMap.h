#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>

#include "link/ComPortPath.h"

// The device the user chose for each of COM1..COM4; empty where the user chose none.
using DeviceChoices = std::array<std::string, 4>;

// Where the user's choice is kept: serial-devices.json in the user's configuration folder
// (link/UserConfig.h). Empty when there is none.
std::filesystem::path DeviceChoiceFile();

// The choice kept in the file. A missing, unreadable, torn or hand-mangled file gives no choice;
// an entry that is not a usable device name is left out and the others are kept.
DeviceChoices LoadDeviceChoices(const std::filesystem::path& file);
// The file's exact text for these choices.
std::string DeviceChoicesText(const DeviceChoices& choices);
// Replaces the file atomically, making its folder when missing. False when that failed.
bool SaveDeviceChoices(const std::filesystem::path& file, const DeviceChoices& choices);

// A name of a device of this machine as a choice keeps it: an absolute path without NUL bytes on
// Linux, a port name such as "COM7" on Windows.
bool IsLocalDeviceName(const std::string& name);
// A device the tool will open for a port: a local device name, or a well-formed
// "rfc2217://HOST:PORT".
bool IsUsableDevicePath(const std::string& path);

// Which device each COM name reaches, with the user's choice read once at start-up and kept
// whenever it changes.
class ComPortMap {
 public:
  explicit ComPortMap(std::filesystem::path choiceFile);

  std::optional<ComPortDevice> Resolve(const std::string& comName) const;
  std::optional<std::string> DevicePathFor(const std::string& comName) const;

  const DeviceChoices& Choices() const { return choices_; }
  const std::filesystem::path& File() const { return file_; }
  // Takes the choices at once and keeps them in the file; false when the file could not be
  // written (they then hold until the tool ends).
  bool Keep(const DeviceChoices& choices);

 private:
  std::filesystem::path file_;
  DeviceChoices choices_;
};
