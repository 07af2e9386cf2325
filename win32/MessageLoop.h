#pragma once

#include "link/WindowsApi.h"

class TMainForm;

// Gives a message taken from the queue to the windows' keys first: Ctrl+X to the main window,
// Tab, the arrow keys, Enter and Esc to the window they were typed in. True when that took it.
bool TranslateKeys(const TMainForm& main, MSG& message);

// The program's message loop: until the main window is gone.
void RunMessageLoop(const TMainForm& main);

// Dispatches what waits in the queue now, as the loop would.
void DispatchWaiting(const TMainForm& main);
