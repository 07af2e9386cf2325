#pragma once

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

// On the white paper: the gains of the 24-channel set into PaperGain, then the head's D/A
// regulation into DaValue. 1 when both succeeded, otherwise 0 (an adjustment failure too).
StepResult GainAndDaAdjustment(StepContext& context);
