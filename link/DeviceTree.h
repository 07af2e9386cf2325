#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

// A serial device present on this machine, as the device dialog lists it.
struct DetectedDevice {
  enum class Kind { UsbAdapter, BuiltInPort };
  // What the port opens and the choice keeps: the stable /dev/serial/by-id name of an adapter
  // where there is one, else /dev/<kernel name>.
  std::string path;
  std::string kernelName;  // ttyUSB0, ttyACM0, ttyS0
  // An adapter's maker and product as the system reports them; "Built-in serial port" else.
  std::string description;
  Kind kind = Kind::BuiltInPort;
  friend bool operator==(const DetectedDevice&, const DetectedDevice&) = default;
};

// Who asks to open a device.
struct UserIdentity {
  uid_t uid = 0;
  // The groups this process has now, and those the group database gives the user at the next
  // login (a user just added to a group has it only then).
  std::vector<gid_t> groups;
  std::vector<gid_t> groupsAtNextLogin;
  // Whether this is the running process itself, which may also ask the kernel (an access list
  // or a capability can grant what the mode bits do not).
  bool thisProcess = false;

  static UserIdentity OfThisProcess();
};

// Whether a user may open a device for reading and writing, and if not, why.
struct DeviceAccess {
  enum class Verdict {
    Allowed,
    Missing,        // no such file
    NeedsGroup,     // the device's group may open it; the user is not in that group
    NeedsNewLogin,  // the user is in that group from the next login on
    Denied,         // neither owner nor group: only an administrator can help
  };
  Verdict verdict = Verdict::Missing;
  std::string group;  // the device's group, named where it matters
  friend bool operator==(const DeviceAccess&, const DeviceAccess&) = default;
};

// The system's device folders (/dev, /dev/serial/by-id, /sys/class/tty) under one root: "/" for
// the machine itself, a folder of their own for tests.
class DeviceTree {
 public:
  explicit DeviceTree(std::filesystem::path root = "/");

  // USB adapters first, then built-in ports, each in the order of their kernel names
  // (ttyUSB2 before ttyUSB10). A built-in port is listed only when a UART answered behind it.
  std::vector<DetectedDevice> Scan() const;
  DeviceAccess Access(const std::string& devicePath, const UserIdentity& user) const;

 private:
  std::filesystem::path Inside(const std::string& systemPath) const;

  std::filesystem::path root_;
};
