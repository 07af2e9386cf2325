#include <array>
#include <cstdio>

#include "adjust/RegisterCheck.h"
#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr std::uint8_t kOverVoltageLevel = 220;  // about 4.3 V at the converter's input
constexpr std::uint8_t kDaStart = 200;
constexpr std::uint8_t kGainDuringCheck = 32;

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
  // Each pass lowers at least one value and none rises, so the loop ends.
  for (;;) {
    if (SendHeadFrame(context, head::DaFrame(da)) != 1) return log.LogCommError();
    if (TakeReading(context) != 1) return log.LogCommError();
    bool over = false;
    for (const std::size_t channel : kRegisterCheckChannels) {
      const std::uint8_t level = levels[channel];
      if (level < kOverVoltageLevel) continue;
      over = true;
      std::uint8_t& value = da[channel];
      if (value == 1) {
        char line[32];
        std::snprintf(line, sizeof line, "%s %03d ERROR OVER 4.3v", SensorName(channel).data(),
                      level);
        log.AddLine(line);
        return kStepFailed;
      }
      value = static_cast<std::uint8_t>(value > 3 ? value - 3 : value - 1);
    }
    if (!over) return kStepSucceeded;
  }
}
