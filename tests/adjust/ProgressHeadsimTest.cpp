// What the steps report while a healthy run goes on, and that watching them changes nothing on
// the wire.

#include <gtest/gtest.h>

#include <map>

#include "tests/adjust/HeadsimStage.h"

namespace {

struct Seen {
  ProgressStep step;
  std::uint32_t count, limit, run, runNeeded;
  std::optional<double> secondsLeft;
  std::uint32_t waitSeconds;
  std::optional<std::uint32_t> value;
  std::size_t channels, bad;
  bool verdict;
};

class Progress : public HeadsimStage {
 protected:
  void Watch() {
    Model().Progress.Subscribe([this](const ProgressReport& r) {
      std::size_t bad = 0;
      for (const ChannelReading& c : r.channels) bad += c.bad ? 1 : 0;
      seen_.push_back({r.step, r.count, r.limit, r.run, r.runNeeded, r.secondsLeft, r.waitSeconds,
                       r.value, r.channels.size(), bad, r.verdict});
    });
  }
  std::vector<Seen> seen_;
};

TEST_F(Progress, EveryStepOfAHealthyRunReportsInOrderAndEndsWithItsVerdict) {
  StartWith("");
  Watch();
  RunThrough(4);
  ASSERT_EQ(Model().Controller.AdjResult, kRunCompleted);

  std::vector<ProgressStep> order;
  for (const Seen& s : seen_) {
    if (order.empty() || order.back() != s.step) order.push_back(s.step);
  }
  using P = ProgressStep;
  EXPECT_EQ(
      order,
      (std::vector<P>{
          P::kReadHeadData, P::kMotorSpeedCheck, P::kOverVoltageCheck, P::kGainStepCheck,
          P::kGainAdjustment24, P::kDaAdjustment, P::kDataSelectLineCheck, P::kBlackLevelCheck,
          P::kS0tSaturationCheck, P::kS0tGainResponse, P::kGainAdjustment16, P::kS0tAutoAdjust,
          P::kFrontExitCheck, P::kVerifyCheckWord, P::kWriteAdjustments, P::kSendFinishFrame}));

  std::map<P, std::vector<Seen>> byStep;
  for (const Seen& s : seen_) byStep[s.step].push_back(s);
  for (const auto& [step, reports] : byStep) {
    SCOPED_TRACE(std::string(ProgressStepTitle(step)));
    EXPECT_EQ(reports.front().count, 0u) << "a step reports when it begins";
    for (std::size_t i = 1; i < reports.size(); ++i) {
      EXPECT_GE(reports[i].count, reports[i - 1].count);
      if (reports[i].limit) {
        EXPECT_LE(reports[i].count, reports[i].limit);
      }
    }
    if (reports.back().channels) {
      EXPECT_TRUE(reports.back().verdict);
      EXPECT_EQ(reports.back().bad, 0u) << "a healthy head passes every judgement";
    }
  }
  const auto& gains = byStep[P::kGainAdjustment24];
  EXPECT_EQ(gains.back().channels, 23u);
  EXPECT_EQ(gains.back().limit, 64u);
  EXPECT_EQ(byStep[P::kGainAdjustment16].back().channels, 12u);
  const auto& da = byStep[P::kDaAdjustment];
  EXPECT_EQ(da.back().run, 10u);
  EXPECT_EQ(da.back().runNeeded, 10u);
  EXPECT_EQ(da.back().limit, 600u);
  EXPECT_EQ(byStep[P::kS0tAutoAdjust].back().run, 20u);
  EXPECT_EQ(byStep[P::kBlackLevelCheck].back().count, 10u);

  // The motor check: each of its four waits counts down within its length, and three speeds are
  // reported.
  std::vector<std::uint32_t> speeds;
  std::vector<std::uint32_t> waits;
  double lastLeft = -1;  // not in a wait
  for (const Seen& s : byStep[P::kMotorSpeedCheck]) {
    if (s.value) speeds.push_back(*s.value);
    const double left = s.secondsLeft.value_or(-1);
    if (left >= 0 && (lastLeft < 0 || left > lastLeft)) waits.push_back(s.waitSeconds);
    if (left >= 0) {
      EXPECT_LE(left, s.waitSeconds);
    }
    lastLeft = left;
  }
  EXPECT_EQ(waits, (std::vector<std::uint32_t>{6, 11, 11, 11}));
  ASSERT_EQ(speeds.size(), 3u);
  EXPECT_EQ(speeds.back(), Model().Record.MotorSpeed);
}

TEST_F(Progress, WatchingARunPutsTheSameBytesOnTheWire) {
  std::vector<std::vector<TraceLine>> traces;
  for (const bool watched : {false, true}) {
    StartWith("");
    if (watched) Watch();
    RunThrough(4);
    ASSERT_EQ(Model().Controller.AdjResult, kRunCompleted);
    traces.push_back(StopAndReadTrace());
    TearDown();
    sim_.reset();
    history_.clear();
  }
  EXPECT_FALSE(seen_.empty());
  ASSERT_EQ(traces[0].size(), traces[1].size());
  for (std::size_t i = 0; i < traces[0].size(); ++i) {
    EXPECT_EQ(traces[0][i].sender, traces[1][i].sender) << i;
    EXPECT_EQ(traces[0][i].bytes, traces[1][i].bytes) << i;
  }
}

}  // namespace
