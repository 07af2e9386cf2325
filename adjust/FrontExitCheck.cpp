#include <algorithm>
#include <array>
#include <string_view>

#include "adjust/NonPaperAdjust.h"
#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr int kNoPaperBlockReadings = 10;

}  // namespace

StepResult FrontExitCheck(StepContext& context) {
  OperatorLog& log = context.log;
  AdjustmentRecord& record = context.record;
  const auto& reply = record.ReplyBuf;
  ReportStep(context, ProgressStep::kFrontExitCheck);

  if (SendHeadFrame(context, head::NoPaperBlockStartFrame()) != 1) return log.LogCommError();
  for (int reading = 0; reading < kNoPaperBlockReadings; ++reading) {
    if (QueryHead(context, head::kReplyNoPaperBlock) != 1) return log.LogCommError();
    std::copy_n(reply.begin(), head::kChannels16, record.NoPaperLevel.begin());
  }
  if (SendHeadFrame(context, head::FrontExitRequestFrame()) != 1) return log.LogCommError();
  if (QueryHead(context, head::kReplyFrontExit) != 1) return log.LogCommError();
  record.FrontLevelNoPaper = reply[0];
  record.ExitLevelNoPaper = reply[1];

  const int front = record.FrontLevelNoPaper;
  const int exit = record.ExitLevelNoPaper;
  const std::array<bool, 4> failed{front > kFrontExitNoPaperLimit, exit > kFrontExitNoPaperLimit,
                                   record.FrontLevelInPaper <= front + kFrontExitLeastMargin,
                                   record.ExitLevelInPaper <= exit + kFrontExitLeastMargin};

  const auto atLeast = [](int level) {
    return static_cast<std::uint8_t>(std::min(level + kFrontExitLeastMargin + 1, 255));
  };
  const std::array<ChannelReading, 4> levels{ChannelReading{.name = kFrontExitLevelNames[0],
                                                            .level = record.FrontLevelNoPaper,
                                                            .highest = kFrontExitNoPaperLimit,
                                                            .bad = failed[0]},
                                             ChannelReading{.name = kFrontExitLevelNames[1],
                                                            .level = record.ExitLevelNoPaper,
                                                            .highest = kFrontExitNoPaperLimit,
                                                            .bad = failed[1]},
                                             ChannelReading{.name = kFrontExitLevelNames[2],
                                                            .level = record.FrontLevelInPaper,
                                                            .lowest = atLeast(front),
                                                            .bad = failed[2]},
                                             ChannelReading{.name = kFrontExitLevelNames[3],
                                                            .level = record.ExitLevelInPaper,
                                                            .lowest = atLeast(exit),
                                                            .bad = failed[3]}};

  // The head expects the request once more; its answer is not used.
  if (SendHeadFrame(context, head::FrontExitRequestFrame()) != 1) return log.LogCommError();
  if (QueryHead(context, head::kReplyFrontExit) != 1) return log.LogCommError();

  context.progress.Report(
      {.step = ProgressStep::kFrontExitCheck, .channels = levels, .verdict = true});
  if (std::none_of(failed.begin(), failed.end(), [](bool b) { return b; })) {
    return kStepSucceeded;
  }
  static constexpr std::array<std::string_view, 4> kLines{
      "   Front level(No paper)", "   Exit level(No paper)", "   Front level(In paper)",
      "   Exit level(In paper)"};
  const StepResult result = log.LogFrontBackError();
  for (std::size_t i = 0; i < kLines.size(); ++i) {
    if (failed[i]) log.AddLine(kLines[i]);
  }
  return result;
}
