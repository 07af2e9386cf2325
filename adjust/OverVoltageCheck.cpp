#include <array>
#include <cstdio>
#include <optional>

#include "adjust/ProgressReports.h"
#include "adjust/RegisterCheck.h"
#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::uint8_t kOverVoltageLevel = 220;  // about 4.3 V at the converter's input
constexpr std::uint8_t kDaStart = 200;
constexpr std::uint8_t kGainDuringCheck = 32;
constexpr std::uint32_t kMostPasses = 68;  // 200, 197, ... 5, 2, 1

// The tested channels as this pass read them, at the D/A values it read them with. A failed check
// names only the channel that could go no lower.
void ReportPass(StepContext& context, std::uint32_t pass,
                const std::array<std::uint8_t, head::kChannels24>& da, bool verdict,
                std::optional<std::size_t> failed = std::nullopt) {
  std::array<ChannelReading, kRegisterCheckChannels.size()> channels{};
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const std::size_t channel = kRegisterCheckChannels[i];
    const std::uint8_t level = context.record.ReplyBuf[channel];
    channels[i] = {SensorName(channel),
                   level,
                   0,
                   kOverVoltageLevel - 1,
                   kGainDuringCheck,
                   da[channel],
                   failed ? channel == *failed : level >= kOverVoltageLevel};
  }
  context.progress.Report({.step = ProgressStep::kOverVoltageCheck,
                           .count = pass,
                           .limit = kMostPasses,
                           .channels = channels,
                           .verdict = verdict});
}

}  // namespace

StepResult OverVoltageCheck(StepContext& context) {
  OperatorLog& log = context.log;
  std::array<std::uint8_t, head::kChannels24> gains{};
  std::array<std::uint8_t, head::kChannels24> da{};
  for (const std::size_t channel : kRegisterCheckChannels) {
    gains[channel] = kGainDuringCheck;
    da[channel] = kDaStart;
  }
  if (SendHeadFrame(context, head::GainFrame24(gains)) != 1) return log.LogCommError();

  const auto& levels = context.record.ReplyBuf;
  ReportStep(context, ProgressStep::kOverVoltageCheck, 0, kMostPasses);
  // Each pass lowers at least one value and none rises, so the loop ends.
  for (std::uint32_t pass = 1;; ++pass) {
    if (SendHeadFrame(context, head::DaFrame(da)) != 1) return log.LogCommError();
    if (TakeReading(context) != 1) return log.LogCommError();
    const std::array<std::uint8_t, head::kChannels24> readWith = da;
    bool over = false;
    for (const std::size_t channel : kRegisterCheckChannels) {
      const std::uint8_t level = levels[channel];
      if (level < kOverVoltageLevel) continue;
      over = true;
      std::uint8_t& value = da[channel];
      if (value == 1) {
        ReportPass(context, pass, readWith, true, channel);
        char line[32];
        std::snprintf(line, sizeof line, "%s %03d ERROR OVER 4.3v", SensorName(channel).data(),
                      level);
        log.AddLine(line);
        return kStepFailed;
      }
      value = static_cast<std::uint8_t>(value > 3 ? value - 3 : value - 1);
    }
    ReportPass(context, pass, readWith, !over);
    if (!over) return kStepSucceeded;
  }
}
