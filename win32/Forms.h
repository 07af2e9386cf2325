#pragma once

class TMainForm;
class TRs232cForm;
class TVersionForm;

// The program's three windows, created once at start-up in this order and kept until it ends.
extern TMainForm* MainForm;
extern TRs232cForm* Rs232cForm;
extern TVersionForm* VersionForm;
