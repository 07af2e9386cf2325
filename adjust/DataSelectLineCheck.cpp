#include "adjust/DataSelectLineCheck.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "adjust/ProgressReports.h"
#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::size_t kSharedChannels = 10;
constexpr int kLeastDifference = 51;

}  // namespace

StepResult DataSelectLineCheck(StepContext& context) {
  OperatorLog& log = context.log;
  ReportStep(context, ProgressStep::kDataSelectLineCheck);
  std::array<std::uint8_t, head::kChannels16> gains{};
  std::copy_n(context.record.PaperGain.begin(), kSharedChannels, gains.begin());
  if (SendHeadFrame(context, head::GainFrame16(gains)) != 1) return log.LogCommError();
  if (TakeReading(context) != 1) return log.LogCommError();

  const auto& reading = context.record.ReplyBuf;
  std::array<bool, kSharedChannels> bad{};
  // Each channel's level here is the difference between its two readings.
  std::array<ChannelReading, kSharedChannels> channels{};
  for (std::size_t i = 0; i < kSharedChannels; ++i) {
    const int first = reading[i];
    const int second = reading[head::kChannels24 + i];
    const int difference = std::abs(first - second);
    bad[i] = difference < kLeastDifference;
    channels[i] = {SensorName(i),
                   static_cast<std::uint8_t>(difference),
                   kLeastDifference,
                   255,
                   gains[i],
                   std::nullopt,
                   bad[i]};
  }
  context.progress.Report({.step = ProgressStep::kDataSelectLineCheck,
                           .count = 1,
                           .limit = 1,
                           .channels = channels,
                           .verdict = true});
  if (std::none_of(bad.begin(), bad.end(), [](bool b) { return b; })) return kStepSucceeded;
  log.AddLine(" Data Select Line error");
  log.ListErrorSensors(BadChannelNames(bad));
  return kStepFailed;
}
