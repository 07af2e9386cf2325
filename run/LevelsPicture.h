#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "adjust/Progress.h"

// What the Levels window shows, apart from its widgets: the latest report of the steps and the
// texts and bar settings drawn from it. Taking a report only copies it (its channels live only
// during the call; their names outlive it), so that watching a stage costs the stage next to
// nothing; the window draws from the copy at its own pace.

enum class ChannelState : std::uint8_t {
  kInside,
  kBelow,      // under its window
  kAbove,      // over its window
  kJudgedBad,  // the step's judgement: one of the channels it lists
};

// "in", "low", "high", "bad": the word beside a channel's bar.
std::string_view ChannelStateWord(ChannelState state);

// A progress bar: a count against its most, or busy when there is nothing to count.
struct BarSetting {
  bool busy = false;
  int value = 0;
  int maximum = 0;
  std::string text;
  bool operator==(const BarSetting&) const = default;
};

class LevelsPicture {
 public:
  void Take(const ProgressReport& report);
  // Whether anything was taken since the last call.
  bool TakeChanged() { return std::exchange(changed_, false); }

  bool HasReport() const { return hasReport_; }
  ProgressStep Step() const { return step_; }
  std::string StepText() const;
  // While the stage runs, a step with nothing to count shows a busy bar; once it has ended the
  // bar rests.
  BarSetting CountBar(bool stageRunning) const;
  // The step's second count (good readings in a row, readings in the window) or a timed wait
  // counting down; none when the step has neither.
  std::optional<BarSetting> DetailBar() const;
  // The motor speed, or the step's judgement and the channels it found bad.
  std::string SummaryText() const;

  const std::vector<ChannelReading>& Channels() const { return channels_; }
  ChannelState StateOf(const ChannelReading& channel) const;
  // Whether any channel has a gain, or a D/A value: the table shows those columns only then.
  bool HasGains() const { return hasGains_; }
  bool HasDaValues() const { return hasDaValues_; }
  // The channel's values as one line: level, window, gain and D/A value where the step has them.
  static std::string ValuesText(const ChannelReading& channel);
  // The same with the name and the state in words, for screen readers.
  std::string SpokenText(const ChannelReading& channel) const {
    return SpokenText(channel, StateOf(channel));
  }
  static std::string SpokenText(const ChannelReading& channel, ChannelState state);

 private:
  bool hasReport_ = false;
  bool changed_ = false;
  ProgressStep step_ = ProgressStep::kReadHeadData;
  std::uint32_t count_ = 0;
  std::uint32_t limit_ = 0;
  std::uint32_t run_ = 0;
  std::uint32_t runNeeded_ = 0;
  std::optional<double> secondsLeft_;
  std::uint32_t waitSeconds_ = 0;
  std::optional<std::uint32_t> value_;
  bool verdict_ = false;
  bool hasGains_ = false;
  bool hasDaValues_ = false;
  std::vector<ChannelReading> channels_;
};
