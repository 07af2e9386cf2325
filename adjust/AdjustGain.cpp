#include "adjust/AdjustGain.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "adjust/DaAndGainWriters.h"
#include "adjust/ProgressReports.h"
#include "adjust/SensorTables.h"
#include "adjust/StepExchanges.h"

namespace {

constexpr int kReadingsPerPass = 5;  // the head's levels settle; only the last is judged
// In this pass s0t_ir stops climbing, so its gain never passes 15 (the non-paper item then
// rejects a gain over 11).
constexpr int kS0tLastPass = 15;
constexpr std::size_t kS0tIndex16 = 11;

constexpr std::uint8_t kDaDuringGain = 100;
constexpr std::uint8_t kDaDuringGainGreen = 110;  // channels 3, 6 and 8, the green ones

struct SetParameters {
  std::size_t size;      // entries of the gain array
  std::size_t adjusted;  // channels 0 .. adjusted - 1
  std::uint8_t replyLength;
  std::span<const std::uint8_t> targets;
};

SetParameters ParametersOf(ChannelSet set) {
  if (set == ChannelSet::k24) {
    return {head::kChannels24, TargetLevel24.size(), head::kReplyLevels24, TargetLevel24};
  }
  return {head::kChannels16, TargetLevel16.size(), head::kReplyLevels16, TargetLevel16};
}

std::array<std::uint8_t, head::kChannels24> DaValuesDuringGain(const AdjustmentRecord& record,
                                                               ChannelSet set) {
  std::array<std::uint8_t, head::kChannels24> da{};
  if (set == ChannelSet::k24) {
    da.fill(kDaDuringGain);
    da[3] = da[6] = da[8] = kDaDuringGainGreen;
  } else {
    // Without paper the D/A values the white paper item found stay in force.
    std::copy_n(record.DaValue.begin(), head::kChannels24 - 1, da.begin());
    da[head::kChannels24 - 1] = kDaDuringGain;
  }
  return da;
}

// The channel of the 24-channel set behind an index of the set.
std::size_t ChannelOf(ChannelSet set, std::size_t index) {
  if (set == ChannelSet::k24 || index < 10) return index;
  return index == 10 ? 22 : 23;  // b0t_ir, s0t_ir
}

StepResult WriteGains(StepContext& context, std::span<const std::uint8_t> gains, ChannelSet set) {
  if (set == ChannelSet::k24) {
    return WriteGainFrame24(context, gains.first<head::kChannels24>());
  }
  return WriteGainFrame16(context, gains.first<head::kChannels16>());
}

}  // namespace

void JudgeGainLevel(GainChannel& channel, std::uint8_t level, std::uint8_t target, bool holdGain) {
  if (level < target) {
    channel.shortfall = static_cast<std::uint8_t>(target - level);
    if (holdGain) {
      channel.done = true;
    } else {
      ++channel.gain;
    }
    return;
  }
  if (level - target > channel.shortfall) --channel.gain;
  channel.done = true;
}

StepResult AdjustGain(StepContext& context, std::span<std::uint8_t> gains, ChannelSet set) {
  const SetParameters p = ParametersOf(set);
  if (gains.size() != p.size) throw std::invalid_argument("AdjustGain: wrong gain array size");
  OperatorLog& log = context.log;

  const auto da = DaValuesDuringGain(context.record, set);
  if (WriteDaFrame(context, da) != 1) return log.LogCommError();
  std::array<GainChannel, head::kChannels24> channels{};
  log.ClearLog();
  log.AddLine(" ***** Adjusting GAIN *****");
  std::fill(gains.begin(), gains.end(), std::uint8_t{0});

  const auto& levels = context.record.ReplyBuf;
  const ProgressStep step =
      set == ChannelSet::k24 ? ProgressStep::kGainAdjustment24 : ProgressStep::kGainAdjustment16;
  ReportStep(context, step, 0, kMostGainPasses);
  std::array<ChannelReading, head::kChannels24> readings{};
  for (int pass = 0; pass < kMostGainPasses; ++pass) {
    if (WriteGains(context, gains, set) != 1) return log.LogCommError();
    for (int reading = 0; reading < kReadingsPerPass; ++reading) {
      if (QueryHead(context, p.replyLength) != 1) return log.LogCommError();
    }
    std::size_t done = 0;
    for (std::size_t i = 0; i < p.adjusted; ++i) {
      GainChannel& channel = channels[i];
      readings[i] = {set == ChannelSet::k24 ? SensorName(i) : SensorName16(i),
                     levels[i],
                     p.targets[i],
                     255,
                     gains[i],
                     da[ChannelOf(set, i)],
                     false};
      if (!channel.done) {
        channel.gain = gains[i];
        const bool holdGain = set == ChannelSet::k16 && pass == kS0tLastPass && i == kS0tIndex16;
        JudgeGainLevel(channel, levels[i], p.targets[i], holdGain);
        gains[i] = channel.gain;
      }
      if (channel.done) ++done;
      readings[i].bad = !channel.done;
    }
    // A channel is in once it has reached its target: a level at or above it.
    context.progress.Report({.step = step,
                             .count = static_cast<std::uint32_t>(pass + 1),
                             .limit = kMostGainPasses,
                             .channels = std::span(readings).first(p.adjusted),
                             .verdict = done == p.adjusted || pass + 1 == kMostGainPasses});
    if (done == p.adjusted) break;
  }
  if (WriteGains(context, gains, set) != 1) return log.LogCommError();
  return kStepSucceeded;
}
