#include "link/PortText.h"

#include <cstdio>

std::string PortFailureText(int error) {
  char number[16];
  std::snprintf(number, sizeof number, "%x", static_cast<unsigned>(error));
  return std::string(kPortFailureText) + number;
}
