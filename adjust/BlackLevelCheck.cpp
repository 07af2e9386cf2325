#include "adjust/BlackLevelCheck.h"

#include <algorithm>
#include <array>

#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr int kReadings = 10;  // the paper settles in its slot; only the last reading decides

}  // namespace

StepResult BlackLevelCheck(StepContext& context) {
  OperatorLog& log = context.log;
  AdjustmentRecord& record = context.record;
  record.BlackLevel.fill(0);
  log.ClearLog();
  log.AddLine(" ***** Black level check *****");
  if (SendHeadFrame(context, head::BlackLevelStartFrame()) != 1) return log.LogCommError();

  std::array<bool, BlackLevelLimit.size()> over{};
  for (int reading = 0; reading < kReadings; ++reading) {
    if (QueryHead(context, head::kReplyBlackLevels) != 1) return log.LogCommError();
    std::copy_n(record.ReplyBuf.begin(), head::kChannels24, record.BlackLevel.begin());
    for (std::size_t channel = 0; channel < over.size(); ++channel) {
      over[channel] = record.BlackLevel[channel] > BlackLevelLimit[channel];
    }
  }
  if (std::any_of(over.begin(), over.end(), [](bool b) { return b; })) {
    log.ListErrorSensors(BadChannelNames(over));
    return log.LogBlackLevelError();
  }

  if (SendHeadFrame(context, head::FrontExitRequestFrame()) != 1) return log.LogCommError();
  if (QueryHead(context, head::kReplyFrontExit) != 1) return log.LogCommError();
  record.FrontLevelInPaper = record.ReplyBuf[0];
  record.ExitLevelInPaper = record.ReplyBuf[1];
  return kStepSucceeded;
}
