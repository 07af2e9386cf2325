#pragma once

// A folder laid out as the system's /dev and /sys are for serial devices, with relative links as
// the kernel and udev make them, so that device detection can be tested on any machine.

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/Recorders.h"

class FakeDeviceTree {
 public:
  const std::filesystem::path& Root() const { return dir_.Path(); }

  // A USB adapter with its tty below the interface (ttyUSB) or right in it (ttyACM). Empty
  // maker and product leave their files out; an empty stable name makes no by-id link.
  void AddUsbAdapter(const std::string& kernelName, const std::string& manufacturer,
                     const std::string& product, const std::string& stableName) {
    const std::string port = "1-" + std::to_string(++usbPorts_);
    const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    Write(usb + "/idVendor", "0403\n");
    Write(usb + "/idProduct", "6001\n");
    if (!manufacturer.empty()) Write(usb + "/manufacturer", manufacturer + "\n");
    if (!product.empty()) Write(usb + "/product", product + "\n");
    const std::string interface = usb + "/" + port + ":1.0";
    const bool acm = kernelName.starts_with("ttyACM");
    AddTty(kernelName, interface + (acm ? "" : "/" + kernelName) + "/tty/" + kernelName);
    if (!stableName.empty()) Link("dev/serial/by-id/" + stableName, "../../" + kernelName);
  }

  // A port of the 8250 driver; UART type 0 is the kernel's placeholder with no UART behind it.
  void AddBuiltInPort(const std::string& kernelName, int uartType) {
    const std::string tty = "sys/devices/pnp0/00:0" + kernelName.substr(4) + "/tty/" + kernelName;
    Write(tty + "/type", std::to_string(uartType) + "\n");
    AddTty(kernelName, tty);
  }

  // A device node with this mode, owned by whoever runs the test.
  std::filesystem::path AddNode(const std::string& systemPath, std::filesystem::perms mode) {
    const std::string relative = std::filesystem::path(systemPath).relative_path().string();
    Write(relative, "");
    std::filesystem::permissions(Root() / relative, mode);
    return Root() / relative;
  }

  void RemoveNode(const std::string& kernelName) {
    std::filesystem::remove(Root() / "dev" / kernelName);
  }

 private:
  void AddTty(const std::string& kernelName, const std::string& sysDevice) {
    std::filesystem::create_directories(Root() / sysDevice);
    Link("sys/class/tty/" + kernelName, "../.." + sysDevice.substr(3));
    Write("dev/" + kernelName, "");
  }
  void Write(const std::string& path, const std::string& text) {
    const auto file = Root() / path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }
  void Link(const std::string& path, const std::string& target) {
    const auto link = Root() / path;
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_symlink(target, link);
  }

  TempDir dir_;
  int usbPorts_ = 0;
};
