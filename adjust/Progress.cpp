#include "adjust/Progress.h"

#include <algorithm>

std::string_view ProgressStepTitle(ProgressStep step) {
  switch (step) {
    case ProgressStep::kReadHeadData:
      return "Reading the head's data";
    case ProgressStep::kMotorSpeedCheck:
      return "Motor speed check";
    case ProgressStep::kOverVoltageCheck:
      return "Over-voltage check";
    case ProgressStep::kGainStepCheck:
      return "Gain step check";
    case ProgressStep::kGainAdjustment24:
      return "Gain adjustment, 24 channels";
    case ProgressStep::kDaAdjustment:
      return "D/A adjustment";
    case ProgressStep::kDataSelectLineCheck:
      return "Data select line check";
    case ProgressStep::kBlackLevelCheck:
      return "Black level check";
    case ProgressStep::kS0tSaturationCheck:
      return "s0t_ir saturation check";
    case ProgressStep::kS0tGainResponse:
      return "s0t_ir gain response";
    case ProgressStep::kGainAdjustment16:
      return "Gain adjustment, 16 channels";
    case ProgressStep::kS0tAutoAdjust:
      return "s0t_ir D/A adjustment";
    case ProgressStep::kFrontExitCheck:
      return "Front and exit sensors";
    case ProgressStep::kVerifyCheckWord:
      return "Check word";
    case ProgressStep::kWriteAdjustments:
      return "Writing to the head";
    case ProgressStep::kSendFinishFrame:
      return "Finishing";
  }
  return "";
}

std::string_view ProgressCountName(ProgressStep step) {
  switch (step) {
    case ProgressStep::kMotorSpeedCheck:
    case ProgressStep::kDaAdjustment:
    case ProgressStep::kBlackLevelCheck:
    case ProgressStep::kS0tSaturationCheck:
      return "reading";
    case ProgressStep::kOverVoltageCheck:
    case ProgressStep::kGainAdjustment24:
    case ProgressStep::kGainAdjustment16:
      return "pass";
    case ProgressStep::kGainStepCheck:
    case ProgressStep::kS0tGainResponse:
      return "gain step";
    case ProgressStep::kS0tAutoAdjust:
      return "poll";
    default:
      return "";
  }
}

std::size_t ProgressHub::Subscribe(Subscriber subscriber) {
  subscribers_.emplace_back(next_, std::move(subscriber));
  return next_++;
}

void ProgressHub::Unsubscribe(std::size_t ticket) {
  std::erase_if(subscribers_, [ticket](const auto& entry) { return entry.first == ticket; });
}

void ProgressHub::Report(const ProgressReport& report) {
  for (const auto& [ticket, subscriber] : subscribers_) subscriber(report);
}
