#include "adjust/BlackLevelCheck.h"

#include <algorithm>
#include <array>

#include "adjust/ProgressReports.h"
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
  ReportStep(context, ProgressStep::kBlackLevelCheck, 0, kReadings);
  if (SendHeadFrame(context, head::BlackLevelStartFrame()) != 1) return log.LogCommError();

  std::array<bool, BlackLevelLimit.size()> over{};
  std::array<ChannelReading, BlackLevelLimit.size()> channels{};
  for (int reading = 0; reading < kReadings; ++reading) {
    if (QueryHead(context, head::kReplyBlackLevels) != 1) return log.LogCommError();
    std::copy_n(record.ReplyBuf.begin(), head::kChannels24, record.BlackLevel.begin());
    for (std::size_t channel = 0; channel < over.size(); ++channel) {
      over[channel] = record.BlackLevel[channel] > BlackLevelLimit[channel];
      channels[channel] = {SensorName(channel),
                           record.BlackLevel[channel],
                           0,
                           BlackLevelLimit[channel],
                           std::nullopt,
                           std::nullopt,
                           over[channel]};
    }
    // Only the last reading decides.
    context.progress.Report({.step = ProgressStep::kBlackLevelCheck,
                             .count = static_cast<std::uint32_t>(reading + 1),
                             .limit = kReadings,
                             .channels = channels,
                             .verdict = reading + 1 == kReadings});
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
