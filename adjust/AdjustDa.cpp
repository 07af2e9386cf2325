#include "adjust/AdjustDa.h"

#include <algorithm>
#include <array>

#include "adjust/ProgressReports.h"
#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::size_t kJudged = 23;  // channels 0..22; s0t_ir is adjusted without paper
constexpr int kGoodRunNeeded = 10;
constexpr std::uint32_t kMostReadings = 600;
constexpr double kWindowHalfWidth = 5.1;

void ReportReading(StepContext& context, std::uint32_t readings, std::uint8_t goodRun,
                   std::span<const std::uint8_t, head::kChannels24> daValues,
                   const std::array<bool, kJudged>& bad, bool verdict) {
  std::array<ChannelReading, kJudged> channels{};
  for (std::size_t i = 0; i < kJudged; ++i) {
    const LevelWindow window = DaWindow(TargetLevel24[i]);
    channels[i] = {SensorName(i), context.record.ReplyBuf[i],  window.lower,
                   window.upper,  context.record.PaperGain[i], daValues[i],
                   bad[i]};
  }
  context.progress.Report({.step = ProgressStep::kDaAdjustment,
                           .count = readings,
                           .limit = kMostReadings,
                           .run = goodRun,
                           .runNeeded = kGoodRunNeeded,
                           .channels = channels,
                           .verdict = verdict});
}

}  // namespace

LevelWindow DaWindow(std::uint8_t target) {
  // Truncated, not rounded: the window is one count wider below the target than above it.
  return {static_cast<std::uint8_t>(target - kWindowHalfWidth),
          static_cast<std::uint8_t>(target + kWindowHalfWidth)};
}

StepResult AdjustDa(StepContext& context, std::span<std::uint8_t, head::kChannels24> daValues) {
  OperatorLog& log = context.log;
  const auto& reply = context.record.ReplyBuf;
  log.ClearLog();
  log.AddLine(" ***** Adjusting D/A *****");
  std::array<bool, kJudged> bad{};
  if (SendHeadFrame(context, head::DaAdjustStartFrame()) != 1) return log.LogCommError();

  ReportStep(context, ProgressStep::kDaAdjustment, 0, kMostReadings);
  std::uint8_t goodRun = 0;
  for (std::uint32_t readings = 0; readings < kMostReadings; ++readings) {
    if (QueryHead(context, head::kReplyDaAdjust) != 1) return log.LogCommError();
    std::copy_n(reply.begin() + head::kChannels24, head::kChannels24, daValues.begin());
    bool good = true;
    for (std::size_t i = 0; i < kJudged; ++i) {
      bad[i] = !DaWindow(TargetLevel24[i]).Contains(reply[i]);
      good = good && !bad[i];
    }
    goodRun = good ? static_cast<std::uint8_t>(goodRun + 1) : std::uint8_t{0};
    ReportReading(context, readings + 1, goodRun, daValues, bad, false);
    if (goodRun < kGoodRunNeeded) continue;

    // Settled: the listing, if any, names the channels whose D/A value is out of range.
    bool inRange = true;
    for (std::size_t i = 0; i < kJudged; ++i) {
      bad[i] = daValues[i] < kDaLowest || daValues[i] > kDaHighest;
      inRange = inRange && !bad[i];
    }
    ReportReading(context, readings + 1, goodRun, daValues, bad, true);
    if (!inRange) break;
    // The front and exit level request ends the head's regulation; its answer is not used.
    if (SendHeadFrame(context, head::FrontExitRequestFrame()) != 1 ||
        QueryHead(context, head::kReplyFrontExit) != 1) {
      return log.LogCommError();
    }
    return kStepSucceeded;
  }
  if (goodRun < kGoodRunNeeded) {
    ReportReading(context, kMostReadings, goodRun, daValues, bad, true);
  }
  const StepResult result = log.LogAdjustError();
  log.ListErrorSensors(BadChannelNames(bad));
  return result;
}
