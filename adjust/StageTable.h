#pragma once

#include "adjust/StepContext.h"
#include "console/RunController.h"

// The operations of the five stages of a run, bound to one context. The context must outlive
// the table.
StageTable MakeStageTable(StepContext& context);
