#include "run/MainFormModel.h"

MainFormModel::MainFormModel(PortLink& port, BellOutput& bell, Clock& clock, IdlePump& pump)
    : MainFormModel(port, bell, clock, pump, MakeStageTable) {}

MainFormModel::MainFormModel(PortLink& port, BellOutput& bell, Clock& clock, IdlePump& pump,
                             const StageFactory& makeStages)
    : Context{Record, Log, port, bell, clock, pump, Progress},
      Controller(Log, port, bell, makeStages(Context)) {
  // The controller starts idle: AdjResult 1, stage 0, Start pending, Exit mode.
  Log.ClearLog();
  Log.AddLine("Conect to PC with QZR-71.");
  Log.AddLine(" ");
  Log.AddLine("Press Start button. then check the Adjustment");
  Log.AddLine("Item 1, 2, 3 and 4 in that order.");
}
