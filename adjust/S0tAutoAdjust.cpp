#include "adjust/NonPaperAdjust.h"
#include "adjust/StepExchanges.h"

namespace {

// 167.8 to 188.2 in whole readings.
constexpr std::uint8_t kWindowLowest = 168;
constexpr std::uint8_t kWindowHighest = 188;
constexpr std::uint8_t kInWindowNeeded = 20;
constexpr std::uint32_t kMostPolls = 1000;
constexpr std::uint8_t kDaLowest = 80;
constexpr std::uint8_t kDaHighest = 120;
constexpr std::size_t kS0tChannel24 = 23;

}  // namespace

StepResult S0tAutoAdjust(StepContext& context) {
  OperatorLog& log = context.log;
  AdjustmentRecord& record = context.record;
  if (SendHeadFrame(context, head::S0tAdjustStartFrame()) != 1) return log.LogCommError();

  std::uint8_t inWindow = 0;
  for (std::uint32_t polls = 0; polls < kMostPolls; ++polls) {
    if (QueryHead(context, head::kReplyS0tAdjust) != 1) return log.LogCommError();
    const std::uint8_t level = record.ReplyBuf[0];
    const std::uint8_t daValue = record.ReplyBuf[1];
    record.DaValue[kS0tChannel24] = daValue;
    if (level < kWindowLowest || level > kWindowHighest) continue;
    if (++inWindow < kInWindowNeeded) continue;
    if (daValue >= kDaLowest && daValue <= kDaHighest) return kStepSucceeded;
    break;
  }
  const StepResult result = log.LogAdjustError();
  log.AddLine(" Error sensor: sot_ir");
  return result;
}
