#include "win32/Forms.h"

TMainForm* MainForm = nullptr;
TRs232cForm* Rs232cForm = nullptr;
TVersionForm* VersionForm = nullptr;
