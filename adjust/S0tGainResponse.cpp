#include <array>

#include "adjust/NonPaperAdjust.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::array<std::uint8_t, 5> kGains{7, 8, 9, 10, 12};
constexpr int kAllowedFall = 10;

}  // namespace

StepResult S0tGainResponse(StepContext& context) {
  OperatorLog& log = context.log;
  AdjustmentRecord& record = context.record;
  bool pass = true;
  int previous = 0;
  for (std::size_t step = 0; step < kGains.size(); ++step) {
    std::array<std::uint8_t, head::kChannels16> gains{};
    gains[kS0tIndex16] = kGains[step];
    if (SendHeadFrame(context, head::GainFrame16(gains)) != 1) return log.LogCommError();
    if (TakeReading(context) != 1) return log.LogCommError();
    const int level = record.ReplyBuf[kS0tInReading];
    if (step > 0 && level < previous - kAllowedFall) pass = false;
    previous = level;
    record.GainStepLevel[step][kS0tIndex16] = static_cast<std::uint8_t>(level);
  }
  // The reading at the highest gain must not be below the one at the lowest.
  if (record.GainStepLevel[kGains.size() - 1][kS0tIndex16] < record.GainStepLevel[0][kS0tIndex16]) {
    pass = false;
  }
  if (pass) return kStepSucceeded;
  log.AddLine(" Gain error");
  log.AddLine(" Error sensor: s0t_ir");
  return kStepFailed;
}
