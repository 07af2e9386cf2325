#include "adjust/AdjustDa.h"
#include "adjust/NonPaperAdjust.h"
#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::uint8_t kInWindowNeeded = 20;
constexpr std::uint32_t kMostPolls = 1000;
constexpr std::size_t kS0tChannel24 = 23;

void ReportPoll(StepContext& context, std::uint32_t polls, std::uint8_t inWindow, bool bad,
                bool verdict) {
  const ChannelReading s0t{"s0t_ir",
                           context.record.ReplyBuf[0],
                           kS0tWindowLowest,
                           kS0tWindowHighest,
                           std::nullopt,
                           context.record.ReplyBuf[1],
                           bad};
  context.progress.Report({.step = ProgressStep::kS0tAutoAdjust,
                           .count = polls,
                           .limit = kMostPolls,
                           .run = inWindow,
                           .runNeeded = kInWindowNeeded,
                           .channels = {&s0t, 1},
                           .verdict = verdict});
}

}  // namespace

StepResult S0tAutoAdjust(StepContext& context) {
  OperatorLog& log = context.log;
  AdjustmentRecord& record = context.record;
  if (SendHeadFrame(context, head::S0tAdjustStartFrame()) != 1) return log.LogCommError();

  ReportStep(context, ProgressStep::kS0tAutoAdjust, 0, kMostPolls);
  std::uint8_t inWindow = 0;
  for (std::uint32_t polls = 0; polls < kMostPolls; ++polls) {
    if (QueryHead(context, head::kReplyS0tAdjust) != 1) return log.LogCommError();
    const std::uint8_t level = record.ReplyBuf[0];
    const std::uint8_t daValue = record.ReplyBuf[1];
    record.DaValue[kS0tChannel24] = daValue;
    const bool inside = level >= kS0tWindowLowest && level <= kS0tWindowHighest;
    if (inside) ++inWindow;
    if (inWindow < kInWindowNeeded) {
      ReportPoll(context, polls + 1, inWindow, !inside, polls + 1 == kMostPolls);
      continue;
    }
    const bool daInRange = daValue >= kDaLowest && daValue <= kDaHighest;
    ReportPoll(context, polls + 1, inWindow, !daInRange, true);
    if (daInRange) return kStepSucceeded;
    break;
  }
  const StepResult result = log.LogAdjustError();
  log.AddLine(" Error sensor: sot_ir");
  return result;
}
