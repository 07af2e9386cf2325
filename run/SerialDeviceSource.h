#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// A device the Serial devices dialog offers: the name a choice keeps and the port opens, and how
// the list shows it.
struct OfferedDevice {
  std::string device;  // "/dev/serial/by-id/usb-FTDI_...", "COM7"
  std::string label;   // "FTDI FT232R USB UART (ttyUSB0)", "USB Serial Port (COM7)"
  friend bool operator==(const OfferedDevice&, const OfferedDevice&) = default;
};

// Whether a device of this machine can be opened now, and if not, what to do.
struct DeviceCheck {
  bool mayOpen = false;
  std::string advice;
};

// How the platform names its devices, where a typed name is asked for.
struct DeviceNaming {
  std::string typedEntry;    // the list's entry for a name typed in
  std::string example;       // shown in the empty field
  std::string typingAdvice;  // for a typed name that names no device
};

// The machine's serial devices as the Serial devices dialog sees them: Linux's device tree with
// the user's access to each device, or Windows's ports. Tests give their own.
class SerialDeviceSource {
 public:
  virtual ~SerialDeviceSource() = default;

  // The devices present now, in the order the list shows them.
  virtual std::vector<OfferedDevice> Scan() const = 0;
  // Whether a local device may be opened now; `present` is what the last Scan found.
  virtual DeviceCheck Check(const std::string& device,
                            const std::vector<OfferedDevice>& present) const = 0;
  // The device COM1..COM4 (index 0..3) reach when nothing is chosen: /dev/ttyS0, COM1.
  virtual std::string SystemDevice(std::size_t index) const = 0;
  // A typed name in the form a choice keeps, when it names a local device; empty otherwise.
  virtual std::string LocalName(const std::string& typed) const = 0;
  virtual const DeviceNaming& Naming() const = 0;
};

// This machine's: the device tree on Linux, the port list on Windows.
std::unique_ptr<SerialDeviceSource> ThisMachinesSerialDevices();
