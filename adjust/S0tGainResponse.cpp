#include <algorithm>
#include <array>

#include "adjust/NonPaperAdjust.h"
#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr auto& kGains = kS0tResponseGains;
constexpr int kAllowedFall = 10;

}  // namespace

StepResult S0tGainResponse(StepContext& context) {
  OperatorLog& log = context.log;
  AdjustmentRecord& record = context.record;
  bool pass = true;
  int previous = 0;
  ReportStep(context, ProgressStep::kS0tGainResponse, 0, kGains.size());
  for (std::size_t step = 0; step < kGains.size(); ++step) {
    std::array<std::uint8_t, head::kChannels16> gains{};
    gains[kS0tIndex16] = kGains[step];
    if (SendHeadFrame(context, head::GainFrame16(gains)) != 1) return log.LogCommError();
    if (TakeReading(context) != 1) return log.LogCommError();
    const int level = record.ReplyBuf[kS0tInReading];
    // The reading may fall by at most kAllowedFall from the one before.
    const int lowest = step > 0 ? std::max(previous - kAllowedFall, 0) : 0;
    if (level < lowest) pass = false;
    const ChannelReading s0t{"s0t_ir",
                             static_cast<std::uint8_t>(level),
                             static_cast<std::uint8_t>(lowest),
                             255,
                             kGains[step],
                             std::nullopt,
                             level < lowest};
    context.progress.Report({.step = ProgressStep::kS0tGainResponse,
                             .count = static_cast<std::uint32_t>(step + 1),
                             .limit = kGains.size(),
                             .channels = {&s0t, 1}});
    previous = level;
    record.GainStepLevel[step][kS0tIndex16] = static_cast<std::uint8_t>(level);
  }
  // The reading at the highest gain must not be below the one at the lowest.
  if (record.GainStepLevel[kGains.size() - 1][kS0tIndex16] < record.GainStepLevel[0][kS0tIndex16]) {
    pass = false;
  }
  const ChannelReading s0t{"s0t_ir",
                           record.GainStepLevel[kGains.size() - 1][kS0tIndex16],
                           0,
                           255,
                           kGains.back(),
                           std::nullopt,
                           !pass};
  context.progress.Report({.step = ProgressStep::kS0tGainResponse,
                           .count = kGains.size(),
                           .limit = kGains.size(),
                           .channels = {&s0t, 1},
                           .verdict = true});
  if (pass) return kStepSucceeded;
  log.AddLine(" Gain error");
  log.AddLine(" Error sensor: s0t_ir");
  return kStepFailed;
}
