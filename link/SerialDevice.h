#pragma once

// The serial services of the platform the tool is built for: the program and the tests that
// need a real port take this one, so that none of them has to know which it is.
#ifdef _WIN32
#include "link/Win32SerialDevice.h"
using SerialDevice = Win32SerialDevice;
#else
#include "link/TermiosSerialDevice.h"
using SerialDevice = TermiosSerialDevice;
#endif
