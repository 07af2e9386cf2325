#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"
#include "adjust/WriteBack.h"

StepResult SendFinishFrame(StepContext& context) {
  ReportStep(context, ProgressStep::kSendFinishFrame);
  if (SendHeadFrame(context, head::FinishFrame()) != 1) return context.log.LogCommError();
  return kStepSucceeded;
}
