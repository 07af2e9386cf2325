#include "run/LevelsPicture.h"

#include <algorithm>
#include <cmath>

#include "adjust/MotorSpeedCheck.h"

namespace {

// Tenths of a second: a countdown bar moves smoothly at ten repaints a second.
constexpr int kWaitSteps = 10;

std::string Plural(std::string_view noun) {
  std::string plural(noun);
  plural += noun.ends_with('s') ? "es" : "s";
  return plural;
}

std::string Of(std::uint32_t count, std::uint32_t most) {
  return std::to_string(count) + " of " + std::to_string(most);
}

int ToInt(std::uint32_t n) {
  return static_cast<int>(std::min<std::uint32_t>(n, 1'000'000));
}

std::string WindowText(const ChannelReading& channel) {
  if (channel.lowest == 0 && channel.highest == 255) return {};
  if (channel.lowest == 0) return "at most " + std::to_string(channel.highest);
  if (channel.highest == 255) return "at least " + std::to_string(channel.lowest);
  return "window " + std::to_string(channel.lowest) + " to " + std::to_string(channel.highest);
}

}  // namespace

std::string_view ChannelStateWord(ChannelState state) {
  switch (state) {
    case ChannelState::kInside:
      return "in";
    case ChannelState::kBelow:
      return "low";
    case ChannelState::kAbove:
      return "high";
    case ChannelState::kJudgedBad:
      return "bad";
  }
  return "";
}

void LevelsPicture::Take(const ProgressReport& report) {
  const bool newStep = !hasReport_ || report.step != step_;
  hasReport_ = true;
  changed_ = true;
  step_ = report.step;
  count_ = report.count;
  limit_ = report.limit;
  run_ = report.run;
  runNeeded_ = report.runNeeded;
  secondsLeft_ = report.secondsLeft;
  waitSeconds_ = report.waitSeconds;
  // A measurement stays in view until the step measures again; a new step starts afresh.
  if (report.value || newStep) value_ = report.value;
  if (!report.channels.empty()) {
    verdict_ = report.verdict;
    channels_.assign(report.channels.begin(), report.channels.end());
  } else if (newStep) {
    verdict_ = report.verdict;
    channels_.clear();
  } else {
    return;
  }
  hasGains_ = std::any_of(channels_.begin(), channels_.end(),
                          [](const ChannelReading& c) { return c.gain.has_value(); });
  hasDaValues_ = std::any_of(channels_.begin(), channels_.end(),
                             [](const ChannelReading& c) { return c.daValue.has_value(); });
}

std::string LevelsPicture::StepText() const {
  if (!hasReport_) return "Waiting for a step to report";
  return std::string(ProgressStepTitle(step_));
}

BarSetting LevelsPicture::CountBar(bool stageRunning) const {
  if (limit_ > 0) {
    std::string text = Of(std::min(count_, limit_), limit_);
    if (const std::string_view name = ProgressCountName(step_); !name.empty()) {
      text += " " + Plural(name);
    }
    return {false, ToInt(std::min(count_, limit_)), ToInt(limit_), text};
  }
  if (stageRunning && hasReport_) return {true, 0, 0, "working"};
  return {false, 0, 1, hasReport_ ? "stage ended" : "idle"};
}

std::optional<BarSetting> LevelsPicture::DetailBar() const {
  if (runNeeded_ > 0) {
    const std::uint32_t run = std::min(run_, runNeeded_);
    const char* what = step_ == ProgressStep::kDaAdjustment ? " good readings in a row"
                                                            : " readings in the window";
    return BarSetting{false, ToInt(run), ToInt(runNeeded_), Of(run, runNeeded_) + what};
  }
  if (secondsLeft_) {
    const double left = std::max(0.0, *secondsLeft_);
    const auto length =
        std::max<std::uint32_t>(waitSeconds_, static_cast<std::uint32_t>(std::ceil(left)));
    const int maximum = ToInt(length) * kWaitSteps;
    const int value = std::min(maximum, static_cast<int>(std::lround(left * kWaitSteps)));
    return BarSetting{false, value, maximum,
                      "wait: " + std::to_string(static_cast<long>(std::ceil(left))) +
                          " s left of " + std::to_string(length) + " s"};
  }
  return std::nullopt;
}

std::string LevelsPicture::SummaryText() const {
  if (value_) {
    const bool inside = *value_ >= kMotorSpeedLowest && *value_ <= kMotorSpeedHighest;
    return "Speed " + std::to_string(*value_) + (inside ? ": in " : ": outside ") + "window " +
           std::to_string(kMotorSpeedLowest) + " to " + std::to_string(kMotorSpeedHighest);
  }
  if (!verdict_) return {};
  std::string bad;
  for (const ChannelReading& channel : channels_) {
    if (StateOf(channel) != ChannelState::kJudgedBad) continue;
    bad += bad.empty() ? "Judged bad: " : ", ";
    bad += channel.name;
  }
  return bad.empty() ? "Judged: every channel passed" : bad;
}

ChannelState LevelsPicture::StateOf(const ChannelReading& channel) const {
  if (verdict_ && channel.bad) return ChannelState::kJudgedBad;
  if (channel.level < channel.lowest) return ChannelState::kBelow;
  if (channel.level > channel.highest) return ChannelState::kAbove;
  return ChannelState::kInside;
}

std::string LevelsPicture::ValuesText(const ChannelReading& channel) {
  std::string text = "level " + std::to_string(channel.level);
  if (const std::string window = WindowText(channel); !window.empty()) text += ", " + window;
  if (channel.gain) text += ", gain " + std::to_string(*channel.gain);
  if (channel.daValue) text += ", D/A " + std::to_string(*channel.daValue);
  return text;
}

std::string LevelsPicture::SpokenText(const ChannelReading& channel, ChannelState state) {
  static constexpr std::string_view kSpoken[] = {"inside its window", "below its window",
                                                 "above its window", "judged bad"};
  return std::string(channel.name) + ", " + std::string(kSpoken[static_cast<int>(state)]) + ": " +
         ValuesText(channel);
}
