#include "adjust/DaAndGainWriters.h"

#include "adjust/StepExchanges.h"

namespace {

StepResult Write(StepContext& context, const head::Frame& frame) {
  if (SendHeadFrame(context, frame) != 1) return context.log.LogCommError();
  return kStepSucceeded;
}

}  // namespace

StepResult WriteDaFrame(StepContext& context,
                        std::span<const std::uint8_t, head::kChannels24> daValues) {
  return Write(context, head::DaFrame(daValues));
}

StepResult WriteGainFrame24(StepContext& context,
                            std::span<const std::uint8_t, head::kChannels24> gains) {
  return Write(context, head::GainFrame24(gains));
}

StepResult WriteGainFrame16(StepContext& context,
                            std::span<const std::uint8_t, head::kChannels16> gains) {
  return Write(context, head::GainFrame16(gains));
}
