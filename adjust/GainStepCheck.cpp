#include <algorithm>
#include <array>
#include <string>

#include "adjust/ProgressReports.h"
#include "adjust/RegisterCheck.h"
#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::size_t kGainSteps = 6;  // gains 1, 2, 4, 8, 16, 32

void ReportGainStep(StepContext& context, std::size_t step, const std::array<bool, 24>& bad,
                    bool verdict) {
  std::array<ChannelReading, kRegisterCheckChannels.size()> channels{};
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const std::size_t channel = kRegisterCheckChannels[i];
    channels[i].name = SensorName(channel);
    channels[i].level = context.record.ReplyBuf[channel];
    channels[i].gain = static_cast<std::uint8_t>(1u << step);
    channels[i].bad = bad[channel];
  }
  context.progress.Report({.step = ProgressStep::kGainStepCheck,
                           .count = static_cast<std::uint32_t>(step + 1),
                           .limit = kGainSteps,
                           .channels = channels,
                           .verdict = verdict});
}

}  // namespace

StepResult GainStepCheck(StepContext& context) {
  OperatorLog& log = context.log;
  AdjustmentRecord& record = context.record;
  std::array<bool, head::kChannels24> bad{};
  std::array<std::uint8_t, head::kChannels24> previous{};
  ReportStep(context, ProgressStep::kGainStepCheck, 0, kGainSteps);
  for (std::size_t step = 0; step < kGainSteps; ++step) {
    std::array<std::uint8_t, head::kChannels24> gains{};
    for (const std::size_t channel : kRegisterCheckChannels) {
      gains[channel] = static_cast<std::uint8_t>(1u << step);
    }
    if (SendHeadFrame(context, head::GainFrame24(gains)) != 1) return log.LogCommError();
    if (TakeReading(context) != 1) return log.LogCommError();

    const auto& levels = record.ReplyBuf;
    if (step > 0) {
      // The level must rise strictly with the gain.
      for (const std::size_t channel : kRegisterCheckChannels) {
        if (levels[channel] <= previous[channel]) bad[channel] = true;
      }
    }
    std::copy_n(levels.begin(), head::kChannels24, previous.begin());
    auto& row = record.GainStepLevel[step];
    std::copy_n(levels.begin(), 10, row.begin());
    row[10] = levels[kB0tChannel];
    ReportGainStep(context, step, bad, step + 1 == kGainSteps);
  }
  if (std::none_of(bad.begin(), bad.end(), [](bool b) { return b; })) return kStepSucceeded;

  log.AddLine(" Gain error");
  // b0t_ir follows the listing of channels 0..9 on its last line, outside the count of three.
  log.ListErrorSensors(BadChannelNames(std::span<const bool>(bad).first(10)));
  if (bad[kB0tChannel]) log.AppendToLastLine(" " + std::string(SensorName(kB0tChannel)));
  return kStepFailed;
}
