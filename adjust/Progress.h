#pragma once

// What the steps report while they run: the step, how far it is against its limit, the seconds
// left in a timed wait, and what it measured with each channel's window, gain and D/A value.
// The window side subscribes. A report is a plain call that sends nothing and logs nothing, so
// observing a run changes neither the bytes on the wire nor the log.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

enum class ProgressStep : std::uint8_t {
  kReadHeadData,
  kMotorSpeedCheck,
  kOverVoltageCheck,
  kGainStepCheck,
  kGainAdjustment24,
  kDaAdjustment,
  kDataSelectLineCheck,
  kBlackLevelCheck,
  kS0tSaturationCheck,
  kS0tGainResponse,
  kGainAdjustment16,
  kS0tAutoAdjust,
  kFrontExitCheck,
  kVerifyCheckWord,
  kWriteAdjustments,
  kSendFinishFrame,
};

// "Gain adjustment, 24 channels" and so on: what a person calls the step.
std::string_view ProgressStepTitle(ProgressStep step);
// What the step counts: "pass", "reading", "gain step", "poll"; empty when it counts nothing.
std::string_view ProgressCountName(ProgressStep step);

// One channel as the step sees it in this report. The level is inside when
// lowest <= level <= highest.
struct ChannelReading {
  // From the channel tables or a literal: it outlives the report, so that a subscriber may keep
  // a copy of the readings (a window does, for every report) without copying the names.
  std::string_view name;
  std::uint8_t level = 0;
  std::uint8_t lowest = 0;
  std::uint8_t highest = 255;
  std::optional<std::uint8_t> gain{};
  std::optional<std::uint8_t> daValue{};
  bool bad = false;  // the step's judgement of the channel so far
  bool operator==(const ChannelReading&) const = default;
};

struct ProgressReport {
  ProgressStep step = ProgressStep::kReadHeadData;
  std::uint32_t count = 0;  // passes, readings, gain steps or polls done
  std::uint32_t limit = 0;  // their most; 0 when the step has no limit to show
  // A second count where the step has one: good readings in a row (D/A adjustment) or readings
  // inside the window (s0t_ir adjustment), against what it needs.
  std::uint32_t run = 0;
  std::uint32_t runNeeded = 0;
  std::optional<double> secondsLeft{};   // in a timed wait
  std::uint32_t waitSeconds = 0;         // that wait's whole length, to count it down against
  std::optional<std::uint32_t> value{};  // a single measurement: the motor speed
  std::span<const ChannelReading> channels{};
  bool verdict = false;  // the step has judged: the channels marked bad are the ones it lists
};

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Report(const ProgressReport& report) = 0;
};

class NoProgress final : public ProgressSink {
 public:
  void Report(const ProgressReport&) override {}
};

// Hands every report to each subscriber in turn. A subscriber must not keep the channels' span
// beyond the call.
class ProgressHub final : public ProgressSink {
 public:
  using Subscriber = std::function<void(const ProgressReport&)>;
  // Returns a ticket for Unsubscribe.
  std::size_t Subscribe(Subscriber subscriber);
  void Unsubscribe(std::size_t ticket);
  void Report(const ProgressReport& report) override;

 private:
  std::vector<std::pair<std::size_t, Subscriber>> subscribers_;
  std::size_t next_ = 0;
};
