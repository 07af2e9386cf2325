// Feeds arbitrary bytes to the settings file reader. Whatever it finds must be a valid entry,
// and a file written from what it found must read back the same.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/SettingsFile.h"

namespace {

bool Within(const std::optional<int>& entry, int last) {
  return !entry || (*entry >= 0 && *entry <= last);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const SettingsChoice choice =
      ParseSettingsText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!Within(choice.BaudEntry, 2) || !Within(choice.PortIndex, 3) ||
      !Within(choice.StopEntry, 1)) {
    std::abort();
  }
  if (choice.BaudEntry && choice.PortIndex && choice.StopEntry) {
    const SettingsChoice again = ParseSettingsText(
        SettingsFileText(*choice.BaudEntry, *choice.PortIndex, *choice.StopEntry));
    if (again.BaudEntry != choice.BaudEntry || again.PortIndex != choice.PortIndex ||
        again.StopEntry != choice.StopEntry) {
      std::abort();
    }
  }
  return 0;
}
