#pragma once

#include <array>
#include <functional>
#include <vector>

#include "adjust/StepContext.h"
#include "adjust/StepResult.h"

using StageOperation = std::function<StepResult()>;
// One entry per stage, 0 to 4. The operations of a stage run in order, each only while the one
// before returned kStepSucceeded; the stage's result is that of the last one that ran.
using StageTable = std::array<std::vector<StageOperation>, 5>;

// The operations of the five stages of a run, bound to one context. The context must outlive
// the table.
StageTable MakeStageTable(StepContext& context);
