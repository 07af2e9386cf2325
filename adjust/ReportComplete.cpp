#include "adjust/WriteBack.h"

StepResult ReportComplete(StepContext& context) {
  context.log.ClearLog();
  context.log.AddLine(" ****** Complete *****");
  return kRunCompleted;
}
