#pragma once

#include <string>

// "Version " followed by the program's version number and "-01": the version dialog's text.
std::string VersionText();
