#include "run/VersionText.h"

#include "Qzr71Version.h"

std::string VersionText() {
  return "Version " + std::string(kToolVersion) + "-01";
}
