#include <array>
#include <cstdio>

#include "adjust/NonPaperAdjust.h"
#include "adjust/ProgressReports.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::uint8_t kSaturationLevel = 220;
constexpr std::uint8_t kDaStart = 200;
constexpr std::uint8_t kGainDuringCheck = 12;
constexpr std::size_t kS0tChannel24 = 23;
constexpr std::uint32_t kMostReadings = 101;  // 200, 198, ... 4, 2, 1

}  // namespace

StepResult S0tSaturationCheck(StepContext& context) {
  OperatorLog& log = context.log;
  std::array<std::uint8_t, head::kChannels16> gains{};
  gains[kS0tIndex16] = kGainDuringCheck;
  if (SendHeadFrame(context, head::GainFrame16(gains)) != 1) return log.LogCommError();

  // The other channels keep the D/A values the white paper item found.
  std::array<std::uint8_t, head::kChannels24> da = context.record.DaValue;
  std::uint8_t& value = da[kS0tChannel24];
  value = kDaStart;
  ReportStep(context, ProgressStep::kS0tSaturationCheck, 0, kMostReadings);
  for (std::uint32_t readings = 1;; ++readings) {
    if (SendHeadFrame(context, head::DaFrame(da)) != 1) return log.LogCommError();
    if (TakeReading(context) != 1) return log.LogCommError();
    const std::uint8_t level = context.record.ReplyBuf[kS0tInReading];
    const bool stuck = level >= kSaturationLevel && value == 1;
    const ChannelReading s0t{"s0t_ir",
                             level,
                             0,
                             kSaturationLevel - 1,
                             kGainDuringCheck,
                             value,
                             level >= kSaturationLevel};
    context.progress.Report({.step = ProgressStep::kS0tSaturationCheck,
                             .count = readings,
                             .limit = kMostReadings,
                             .channels = {&s0t, 1},
                             .verdict = level < kSaturationLevel || stuck});
    if (level < kSaturationLevel) return kStepSucceeded;
    if (value == 1) {
      char line[32];
      std::snprintf(line, sizeof line, "s0t_ir %03d ERROR OVER 4.3v", level);
      log.AddLine(line);
      return kStepFailed;
    }
    value = static_cast<std::uint8_t>(value > 3 ? value - 2 : value - 1);
  }
}
