#pragma once

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// Adjustment item 2, on the white reference paper: the register check, the gain and D/A
// adjustment, then the data select line check. The result of the first that fails, or of the
// last.
StepResult WhitePaperAdjustment(StepContext& context);
