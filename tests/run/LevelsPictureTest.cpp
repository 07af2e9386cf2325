// What the Levels window makes of the steps' reports: its progress bars, the state of each
// channel, and what it keeps from one report to the next.
#include "run/LevelsPicture.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "run/LevelsLook.h"

void PrintTo(const BarSetting& bar, std::ostream* out) {
  *out << (bar.busy ? "busy" : "") << "{" << bar.value << "/" << bar.maximum << " \"" << bar.text
       << "\"}";
}

namespace {

ProgressReport Report(ProgressStep step, std::uint32_t count, std::uint32_t limit) {
  ProgressReport report;
  report.step = step;
  report.count = count;
  report.limit = limit;
  return report;
}

struct BarsCase {
  const char* what;
  ProgressReport report;
  bool stageRunning;
  BarSetting count;
  std::optional<BarSetting> detail;
};

ProgressReport WithRun(ProgressReport report, std::uint32_t run, std::uint32_t needed) {
  report.run = run;
  report.runNeeded = needed;
  return report;
}

ProgressReport InWait(ProgressReport report, double left, std::uint32_t length) {
  report.secondsLeft = left;
  report.waitSeconds = length;
  return report;
}

class Bars : public testing::TestWithParam<BarsCase> {};

TEST_P(Bars, FollowTheCountTheRunAndTheWait) {
  const BarsCase& c = GetParam();
  LevelsPicture picture;
  picture.Take(c.report);
  EXPECT_EQ(picture.CountBar(c.stageRunning), c.count) << c.what;
  EXPECT_EQ(picture.DetailBar(), c.detail) << c.what;
}

using P = ProgressStep;
INSTANTIATE_TEST_SUITE_P(
    Steps, Bars,
    testing::Values(BarsCase{"gain pass",
                             Report(P::kGainAdjustment24, 12, 64),
                             true,
                             {false, 12, 64, "12 of 64 passes"},
                             std::nullopt},
                    BarsCase{"D/A reading and its run of good readings",
                             WithRun(Report(P::kDaAdjustment, 143, 600), 4, 10),
                             true,
                             {false, 143, 600, "143 of 600 readings"},
                             BarSetting{false, 4, 10, "4 of 10 good readings in a row"}},
                    BarsCase{"s0t_ir poll and its readings in the window",
                             WithRun(Report(P::kS0tAutoAdjust, 50, 1000), 12, 20),
                             true,
                             {false, 50, 1000, "50 of 1000 polls"},
                             BarSetting{false, 12, 20, "12 of 20 readings in the window"}},
                    BarsCase{"motor check's wait counts down in tenths, whole seconds in words",
                             InWait(Report(P::kMotorSpeedCheck, 1, 3), 6.44, 11),
                             true,
                             {false, 1, 3, "1 of 3 readings"},
                             BarSetting{false, 64, 110, "wait: 7 s left of 11 s"}},
                    BarsCase{"a wait of unknown length counts down from its first second",
                             InWait(Report(P::kMotorSpeedCheck, 0, 3), 5.2, 0),
                             true,
                             {false, 0, 3, "0 of 3 readings"},
                             BarSetting{false, 52, 60, "wait: 6 s left of 6 s"}},
                    BarsCase{"gain step",
                             Report(P::kGainStepCheck, 3, 6),
                             false,
                             {false, 3, 6, "3 of 6 gain steps"},
                             std::nullopt},
                    BarsCase{"nothing to count while the stage runs: busy",
                             Report(P::kReadHeadData, 0, 0),
                             true,
                             {true, 0, 0, "working"},
                             std::nullopt},
                    BarsCase{"nothing to count once the stage has ended: at rest",
                             Report(P::kWriteAdjustments, 0, 0),
                             false,
                             {false, 0, 1, "stage ended"},
                             std::nullopt}));

struct StateCase {
  std::uint8_t level, lowest, highest;
  bool bad, verdict;
  ChannelState state;
};

class States : public testing::TestWithParam<StateCase> {};

TEST_P(States, ComeFromTheWindowUntilTheStepJudges) {
  const StateCase& c = GetParam();
  const ChannelReading reading{"l3t_ir",     c.level,      c.lowest, c.highest,
                               std::nullopt, std::nullopt, c.bad};
  ProgressReport report = Report(P::kDaAdjustment, 1, 600);
  report.channels = {&reading, 1};
  report.verdict = c.verdict;
  LevelsPicture picture;
  picture.Take(report);
  ASSERT_EQ(picture.Channels().size(), 1u);
  EXPECT_EQ(picture.StateOf(picture.Channels()[0]), c.state);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, States,
    testing::Values(StateCase{96, 96, 107, false, false, ChannelState::kInside},
                    StateCase{107, 96, 107, false, false, ChannelState::kInside},
                    StateCase{95, 96, 107, true, false, ChannelState::kBelow},
                    StateCase{108, 96, 107, true, false, ChannelState::kAbove},
                    // A level inside its window, judged bad for its D/A value.
                    StateCase{100, 96, 107, true, true, ChannelState::kJudgedBad},
                    StateCase{95, 96, 107, false, true, ChannelState::kBelow}));

TEST(LevelsPicture, KeepsTheChannelsWithinAStepAndStartsAfreshWithTheNext) {
  const std::array<ChannelReading, 2> readings{
      ChannelReading{"l3t_ir", 100, 96, 107, 5, 98, false},
      ChannelReading{"c0t_ir", 120, 96, 107, 6, 121, true}};
  LevelsPicture picture;
  EXPECT_FALSE(picture.HasReport());
  ProgressReport measured = Report(P::kDaAdjustment, 600, 600);
  measured.channels = readings;
  measured.verdict = true;
  picture.Take(measured);
  EXPECT_TRUE(picture.TakeChanged());
  EXPECT_FALSE(picture.TakeChanged());

  EXPECT_TRUE(picture.HasGains());
  EXPECT_TRUE(picture.HasDaValues());

  // A report without levels from the same step leaves the picture's channels in place.
  picture.Take(Report(P::kDaAdjustment, 600, 600));
  ASSERT_EQ(picture.Channels().size(), 2u);
  EXPECT_TRUE(picture.HasGains());
  EXPECT_TRUE(picture.HasDaValues());
  EXPECT_EQ(picture.Channels()[1].name, "c0t_ir");
  EXPECT_EQ(picture.SummaryText(), "Judged bad: c0t_ir");
  EXPECT_EQ(picture.SpokenText(picture.Channels()[1]),
            "c0t_ir, judged bad: level 120, window 96 to 107, gain 6, D/A 121");
  EXPECT_EQ(picture.SpokenText(picture.Channels()[0]),
            "l3t_ir, inside its window: level 100, window 96 to 107, gain 5, D/A 98");

  picture.Take(Report(P::kDataSelectLineCheck, 0, 0));
  EXPECT_TRUE(picture.Channels().empty());
  EXPECT_EQ(picture.SummaryText(), "");
  EXPECT_EQ(picture.StepText(), "Data select line check");
  EXPECT_FALSE(picture.HasGains());
  EXPECT_FALSE(picture.HasDaValues());

  // The table's columns follow the values the channels have: a D/A value but no gain.
  const ChannelReading s0t{"s0t_ir", 170, 168, 188, std::nullopt, 95, false};
  ProgressReport polled = Report(P::kS0tAutoAdjust, 1, 1000);
  polled.channels = {&s0t, 1};
  picture.Take(polled);
  EXPECT_FALSE(picture.HasGains());
  EXPECT_TRUE(picture.HasDaValues());
}

TEST(LevelsPicture, ShowsTheMotorSpeedThroughTheNextWait) {
  LevelsPicture picture;
  ProgressReport speed = Report(P::kMotorSpeedCheck, 1, 3);
  speed.value = 269;
  picture.Take(speed);
  EXPECT_EQ(picture.SummaryText(), "Speed 269: outside window 270 to 450");
  picture.Take(InWait(Report(P::kMotorSpeedCheck, 1, 3), 10.5, 11));
  EXPECT_EQ(picture.SummaryText(), "Speed 269: outside window 270 to 450");
  speed.value = 450;
  picture.Take(speed);
  EXPECT_EQ(picture.SummaryText(), "Speed 450: in window 270 to 450");
}

TEST(LevelsPicture, NamesEachKindOfWindowAndOnlyTheValuesTheStepHas) {
  struct Case {
    ChannelReading channel;
    std::string text;
  };
  const std::vector<Case> cases{
      {{"c0d_ir", 77, 0, 76, std::nullopt, std::nullopt, true}, "level 77, at most 76"},
      {{"l3t_ir", 99, 102, 255, 4, 100, false}, "level 99, at least 102, gain 4, D/A 100"},
      {{"s0t_ir", 170, 168, 188, std::nullopt, 95, false}, "level 170, window 168 to 188, D/A 95"},
      {{"raw", 3, 0, 255, std::nullopt, std::nullopt, false}, "level 3"},
  };
  for (const Case& c : cases) EXPECT_EQ(LevelsPicture::ValuesText(c.channel), c.text);
}

// What the Win32 window draws again after a picture: the rows that differ, all of them when the
// columns moved, and the top part when the step, its bars or its judgement changed.
TEST(LevelsFrames, RedrawOnlyWhatChanged) {
  const auto frame = [](std::vector<ChannelReading> channels, bool gains = false) {
    levels::Frame f{.step = "Black level check", .gains = gains, .channels = std::move(channels)};
    f.states.assign(f.channels.size(), ChannelState::kInside);
    return f;
  };
  const ChannelReading a{.name = "l3t_ir", .level = 10};
  const ChannelReading b{.name = "l2t_ir", .level = 20};
  ChannelReading b2 = b;
  b2.level = 21;
  using Rows = std::vector<std::size_t>;

  EXPECT_EQ(levels::Compare(frame({a, b}), frame({a, b})).rows, Rows{});
  EXPECT_FALSE(levels::Compare(frame({a, b}), frame({a, b})).top);
  EXPECT_EQ(levels::Compare(frame({a, b}), frame({a, b2})).rows, Rows{1});
  EXPECT_EQ(levels::Compare(frame({a, b}), frame({b, a})).rows, (Rows{0, 1})) << "names moved";
  EXPECT_EQ(levels::Compare(frame({a, b}), frame({a, b}, true)).rows, (Rows{0, 1}));
  EXPECT_TRUE(levels::Compare(frame({a, b}), frame({a, b}, true)).top);
  EXPECT_EQ(levels::Compare(frame({a, b}), frame({a})).rows, (Rows{0, 1})) << "a row dropped";

  levels::Frame judged = frame({a, b});
  judged.states[0] = ChannelState::kJudgedBad;
  judged.summary = "Bad: l3t_ir";
  const levels::Changes changes = levels::Compare(frame({a, b}), judged);
  EXPECT_EQ(changes.rows, Rows{0});
  EXPECT_TRUE(changes.top);
}

TEST(LevelsRefresh, DrawsWhileAStageRunsAndRestsOnceItsLastPictureIsUp) {
  levels::Refresh refresh;
  refresh.Shown(false);
  const auto tick = [&](bool changed, bool running, bool busy) {
    const levels::Tick t = refresh.OnTick(changed, running, busy);
    return std::tuple{t.redraw, t.advanceBusy, t.stop};
  };
  EXPECT_EQ(tick(true, true, false), std::tuple(true, false, false)) << "a stage begins";
  EXPECT_EQ(tick(false, true, false), std::tuple(false, false, false)) << "nothing new";
  EXPECT_EQ(tick(false, true, true), std::tuple(false, true, false)) << "a busy bar moves";
  EXPECT_EQ(tick(true, false, false), std::tuple(true, false, false)) << "the last report";
  EXPECT_EQ(tick(false, false, true), std::tuple(false, false, true)) << "up: rest";
  refresh.Shown(true);
  EXPECT_EQ(tick(false, false, false), std::tuple(true, false, true)) << "ended while hidden";
}

}  // namespace
