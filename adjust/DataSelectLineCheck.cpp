#include "adjust/DataSelectLineCheck.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "adjust/StepExchanges.h"

namespace {

constexpr std::size_t kSharedChannels = 10;
constexpr int kLeastDifference = 51;

}  // namespace

StepResult DataSelectLineCheck(StepContext& context) {
  OperatorLog& log = context.log;
  std::array<std::uint8_t, head::kChannels16> gains{};
  std::copy_n(context.record.PaperGain.begin(), kSharedChannels, gains.begin());
  if (SendHeadFrame(context, head::GainFrame16(gains)) != 1) return log.LogCommError();
  if (TakeReading(context) != 1) return log.LogCommError();

  const auto& reading = context.record.ReplyBuf;
  std::array<bool, kSharedChannels> bad{};
  for (std::size_t i = 0; i < kSharedChannels; ++i) {
    const int first = reading[i];
    const int second = reading[head::kChannels24 + i];
    bad[i] = std::abs(first - second) < kLeastDifference;
  }
  if (std::none_of(bad.begin(), bad.end(), [](bool b) { return b; })) return kStepSucceeded;
  log.AddLine(" Data Select Line error");
  log.ListErrorSensors(BadChannelNames(bad));
  return kStepFailed;
}
