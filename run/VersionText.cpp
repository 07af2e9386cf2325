#include "run/VersionText.h"

#include "adjust/SensorTables.h"

std::string VersionText() {
  return "Version " + std::string(kVersionNumber) + "-01";
}
