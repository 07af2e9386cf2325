#pragma once

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// Adjustment item 3, on the black reference paper: ten readings of the 24-channel set, the last of
// which must have every channel but s0t_ir at or below its limit; then the front and exit levels
// with the paper in. 1 passed; kAdjustmentFailed with the failing channels and " Black level
// error" in the log; 0 on a communication failure.
StepResult BlackLevelCheck(StepContext& context);
