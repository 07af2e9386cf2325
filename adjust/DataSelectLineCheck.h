#pragma once

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// Channels 0..9 are read through two data select lines, once in the 24-channel set and once in
// the 16-channel set. With the same gains on both, each channel must read differently on the two
// lines by at least 51 in one reading. 1 when all ten do; 0 on a data select line failure (listed
// in the log) or a communication failure. Does not clear the log.
StepResult DataSelectLineCheck(StepContext& context);
