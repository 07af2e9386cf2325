// The serial ports Windows has, from the registry and SetupAPI. Under Wine the map lists the ports
// of the prefix and the Ports class is empty: every port is still listed, by its name alone.

#include "link/WindowsApi.h"

#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>

#include <string>

#include "link/SystemPorts.h"
#include "link/WideText.h"

namespace {

// A string value as stored: its bytes up to the first NUL, which need not be there.
std::string StringOf(const std::wstring& stored) {
  return Utf8(stored.substr(0, stored.find(L'\0')));
}

std::vector<std::string> MappedPorts() {
  std::vector<std::string> names;
  HKEY map = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                    &map) != ERROR_SUCCESS) {
    return names;
  }
  DWORD longestName = 0;
  DWORD longestData = 0;
  RegQueryInfoKeyW(map, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                   &longestData, nullptr, nullptr);
  std::wstring name(longestName + 1, L'\0');
  std::wstring data(longestData / sizeof(wchar_t) + 1, L'\0');
  for (DWORD i = 0;; ++i) {
    auto nameLength = static_cast<DWORD>(name.size());
    auto dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    const LSTATUS status = RegEnumValueW(map, i, name.data(), &nameLength, nullptr, &type,
                                         reinterpret_cast<BYTE*>(data.data()), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS || type != REG_SZ) continue;
    names.push_back(StringOf(data.substr(0, dataSize / sizeof(wchar_t))));
  }
  RegCloseKey(map);
  return names;
}

std::wstring PortNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  const HKEY key =
      SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
  if (key == INVALID_HANDLE_VALUE) return {};
  std::wstring name(64, L'\0');
  auto size = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  DWORD type = 0;
  const bool read =
      RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name.data()),
                       &size) == ERROR_SUCCESS &&
      type == REG_SZ;
  RegCloseKey(key);
  return read ? name.substr(0, size / sizeof(wchar_t)) : std::wstring();
}

std::wstring FriendlyNameOf(HDEVINFO devices, SP_DEVINFO_DATA& device) {
  std::wstring name(256, L'\0');
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(
          devices, &device, SPDRP_FRIENDLYNAME, &type, reinterpret_cast<BYTE*>(name.data()),
          static_cast<DWORD>(name.size() * sizeof(wchar_t)), nullptr) ||
      type != REG_SZ) {
    return {};
  }
  return name;
}

std::vector<SystemPort> PortsClass() {
  std::vector<SystemPort> ports;
  const HDEVINFO devices =
      SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return ports;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
    const std::string name = StringOf(PortNameOf(devices, device));
    if (!name.empty()) ports.push_back({name, StringOf(FriendlyNameOf(devices, device))});
  }
  SetupDiDestroyDeviceInfoList(devices);
  return ports;
}

}  // namespace

std::vector<SystemPort> ListSystemPorts() {
  return MergeSystemPorts(MappedPorts(), PortsClass());
}
