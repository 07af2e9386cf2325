#include "run/RunController.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/HeadCommands.h"
#include "tests/adjust/ScriptedPort.h"
#include "tests/run/MainWindowExpectations.h"

namespace {

using Lines = std::vector<std::string>;

const Bytes kEndReading{head::kCmdEndReading};
using expected::Shown;

void ExpectShown(const RunView& view, const Shown& shown) {
  EXPECT_EQ(view.btnStart.caption, shown.start);
  EXPECT_EQ(view.btnStart.enabled, shown.startEnabled);
  EXPECT_EQ(view.btnCancel.caption, shown.cancel);
  EXPECT_EQ(view.btnCancel.enabled, shown.cancelEnabled);
  EXPECT_EQ(view.start1Enabled, shown.start1Enabled);
  EXPECT_EQ(view.itemEnabled, shown.items);
  EXPECT_FALSE(view.btnStartBusy);
  EXPECT_FALSE(view.closeRequested);
}

class RunControllerTest : public testing::Test {
 protected:
  RunControllerTest() {
    for (std::size_t stage = 0; stage < 5; ++stage) results_[stage] = kStepSucceeded;
    results_[4] = kRunCompleted;
    for (std::size_t stage = 0; stage < 5; ++stage) {
      stages_[stage] = {[this, stage] {
        ++runs_[stage];
        log_.ClearLog();
        log_.AddLine(" stage " + std::to_string(stage));
        return results_[stage];
      }};
    }
    port_.Answer({head::kAck});  // to the end-of-run command, when one is sent
  }

  RunController& Controller() {
    if (!controller_) controller_ = std::make_unique<RunController>(log_, port_, bell_, stages_);
    return *controller_;
  }

  // Runs stages 0 .. last, each successfully, through BtnStart.
  void SucceedThrough(std::size_t last) {
    for (std::size_t stage = 0; stage <= last; ++stage) Controller().BtnStartClick();
  }

  Lines LastLines(std::size_t count) const {
    const auto& lines = log_.Lines();
    return Lines(lines.end() - static_cast<std::ptrdiff_t>(std::min(count, lines.size())),
                 lines.end());
  }

  void ExpectIdle() {
    auto& c = Controller();
    EXPECT_EQ(log_.Lines(), expected::kResetText);
    ExpectShown(c.View(), expected::kIdle);
    EXPECT_EQ(c.AdjResult, 1);
    EXPECT_TRUE(c.StartPending);
    EXPECT_TRUE(c.ExitMode);
    EXPECT_FALSE(c.CancelMode);
  }

  ScriptedPort port_;
  CountingBell bell_;
  OperatorLog log_;
  StageTable stages_;
  std::array<StepResult, 5> results_{};
  std::array<int, 5> runs_{};
  std::unique_ptr<RunController> controller_;
};

TEST_F(RunControllerTest, StartShowsTheRunningStateWhileStageZeroRuns) {
  RunView during;
  stages_[0].insert(stages_[0].begin(), [&] {
    during = Controller().View();
    EXPECT_EQ(Controller().AdjStage, 0);
    EXPECT_FALSE(Controller().StartPending);
    EXPECT_TRUE(Controller().CancelMode);
    EXPECT_FALSE(Controller().ExitMode);
    return kStepSucceeded;
  });
  Controller().BtnStartClick();
  EXPECT_TRUE(during.btnStartBusy);
  EXPECT_EQ(during.btnStart.caption, "Next");
  EXPECT_FALSE(during.btnStart.enabled);
  EXPECT_EQ(during.btnCancel.caption, "Cancel");
  EXPECT_FALSE(during.btnCancel.enabled);
  EXPECT_FALSE(during.start1Enabled);
}

struct SuccessCase {
  std::size_t stage;
  Lines log;
};

class StageSucceeds : public RunControllerTest, public testing::WithParamInterface<SuccessCase> {};

std::string SuccessCaseName(const testing::TestParamInfo<SuccessCase>& param) {
  return "Stage" + std::to_string(param.param.stage);
}

TEST_P(StageSucceeds, PromptsForTheNextPaperAndWaitsForNext) {
  const std::size_t stage = GetParam().stage;
  SucceedThrough(stage);
  auto& c = Controller();
  EXPECT_EQ(log_.Lines(), GetParam().log);
  std::array<bool, 4> items{true, true, true, true};
  for (std::size_t done = 0; done <= stage; ++done) items[done] = false;
  ExpectShown(c.View(), {"Next", true, "Cancel", true, false, items});
  EXPECT_EQ(c.AdjResult, 1);
  EXPECT_EQ(c.AdjStage, stage);
  EXPECT_FALSE(c.StartPending);
  EXPECT_TRUE(port_.written.empty());
}

INSTANTIATE_TEST_SUITE_P(RunController, StageSucceeds,
                         testing::Values(SuccessCase{0, expected::kWholeRun[0].log},
                                         SuccessCase{1, expected::kWholeRun[1].log},
                                         SuccessCase{2, expected::kWholeRun[2].log},
                                         // The question follows the non-paper item's own lines.
                                         SuccessCase{3,
                                                     [] {
                                                       Lines lines{" stage 3"};
                                                       for (const auto& line :
                                                            expected::kWholeRun[3].log)
                                                         lines.push_back(line);
                                                       return lines;
                                                     }()}),
                         SuccessCaseName);

class StageFails : public RunControllerTest, public testing::WithParamInterface<std::size_t> {};

std::string StageName(const testing::TestParamInfo<std::size_t>& param) {
  return "Stage" + std::to_string(param.param);
}

TEST_P(StageFails, EndsTheRunAndTellsTheHead) {
  const std::size_t failing = GetParam();
  results_[failing] = kStepFailed;
  SucceedThrough(failing);
  auto& c = Controller();
  EXPECT_EQ(log_.Lines(),
            (Lines{" stage " + std::to_string(failing), "", "  Push Cancel button."}));
  std::array<bool, 4> items{true, true, true, true};
  for (std::size_t done = 0; done < failing && done < 4; ++done) items[done] = false;
  ExpectShown(c.View(), {"Start", false, "Cancel", true, false, items});
  EXPECT_EQ(c.AdjResult, 0);
  EXPECT_TRUE(c.StartPending);
  EXPECT_TRUE(c.CancelMode);
  EXPECT_EQ(port_.written, std::vector<Bytes>{kEndReading});

  c.BtnCancelClick();
  ExpectIdle();
  EXPECT_EQ(port_.written.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(RunController, StageFails, testing::Values(0u, 1u, 2u, 3u, 4u), StageName);

class CancelWhileWaiting : public RunControllerTest,
                           public testing::WithParamInterface<std::size_t> {};

TEST_P(CancelWhileWaiting, AbandonsTheRunWithoutACommand) {
  SucceedThrough(GetParam());
  auto& c = Controller();
  c.BtnCancelClick();
  EXPECT_EQ(log_.Lines(), expected::kAbandoned);
  ExpectShown(c.View(), {"Next", false, "Cancel", true, false, {true, true, true, true}});
  EXPECT_EQ(c.AdjResult, 162);
  EXPECT_FALSE(c.StartPending);
  EXPECT_TRUE(port_.written.empty());

  c.BtnCancelClick();
  ExpectIdle();
  EXPECT_TRUE(port_.written.empty());
}

INSTANTIATE_TEST_SUITE_P(RunController, CancelWhileWaiting, testing::Values(0u, 1u, 2u, 3u),
                         StageName);

TEST_F(RunControllerTest, CompletionOffersCompleteThenReturnsToIdle) {
  SucceedThrough(4);
  auto& c = Controller();
  EXPECT_EQ(LastLines(3), (Lines{" stage 4", "", "  Push Complete button"}));
  ExpectShown(c.View(), expected::kWholeRun[4].shown);
  EXPECT_EQ(c.AdjResult, 162);
  EXPECT_EQ(c.AdjStage, 4);
  EXPECT_TRUE(c.StartPending);
  EXPECT_TRUE(port_.written.empty());

  c.BtnCancelClick();
  ExpectIdle();
  // The next run starts again at stage 0.
  c.BtnStartClick();
  EXPECT_EQ(runs_[0], 2);
  EXPECT_EQ(c.AdjStage, 0);
}

TEST_F(RunControllerTest, EveryResultButOneAndCompletionIsAFailure) {
  for (const StepResult result : {StepResult{0}, StepResult{163}, StepResult{2}, StepResult{255}}) {
    results_[1] = result;
    controller_.reset();
    port_.written.clear();
    port_.Answer({head::kAck});
    SucceedThrough(1);
    EXPECT_EQ(Controller().AdjResult, 0) << int{result};
    EXPECT_EQ(LastLines(1), Lines{"  Push Cancel button."});
    EXPECT_EQ(port_.written, std::vector<Bytes>{kEndReading});
  }
}

TEST_F(RunControllerTest, LaterOperationsRunOnlyAfterSuccess) {
  int second = 0;
  stages_[0].push_back([&] {
    ++second;
    return StepResult{163};
  });
  results_[0] = kStepFailed;
  Controller().BtnStartClick();
  EXPECT_EQ(second, 0);

  results_[0] = kStepSucceeded;
  Controller().BtnCancelClick();
  Controller().BtnStartClick();
  EXPECT_EQ(second, 1);
  EXPECT_EQ(Controller().AdjResult, 0);  // the stage's result is that of its last operation
}

TEST_F(RunControllerTest, FileStartSucceeds) {
  RunView during;
  stages_[0].push_back([&] {
    during = Controller().View();
    return kStepSucceeded;
  });
  auto& c = Controller();
  c.Start1Click();
  EXPECT_FALSE(during.btnStartBusy);
  EXPECT_FALSE(during.btnStart.enabled);
  EXPECT_TRUE(during.btnCancel.enabled);  // not disabled on this path
  EXPECT_EQ(during.btnCancel.caption, "Cancel");

  EXPECT_EQ(log_.Lines(), expected::kStart1Prompt);
  ExpectShown(c.View(), {"Next", true, "Cancel", true, false, {true, true, true, true}});
  EXPECT_EQ(c.AdjResult, 1);

  c.BtnStartClick();  // Next continues with stage 1
  EXPECT_EQ(runs_[1], 1);
  EXPECT_EQ(c.AdjStage, 1);
  EXPECT_EQ(log_.Lines(), (Lines{"Set Black reference paper.", "", "Hit Next button."}));
}

TEST_F(RunControllerTest, FileStartFails) {
  results_[0] = kStepFailed;
  auto& c = Controller();
  c.Start1Click();
  EXPECT_EQ(log_.Lines(), (Lines{" stage 0", "", "  Push Cancel buttton."}));
  ExpectShown(c.View(), {"Start", false, "Cancel", true, false, {true, true, true, true}});
  EXPECT_EQ(c.AdjResult, 0);
  EXPECT_TRUE(c.StartPending);
  EXPECT_EQ(port_.written, std::vector<Bytes>{kEndReading});
  c.BtnCancelClick();
  ExpectIdle();
}

TEST_F(RunControllerTest, ExitClosesOnlyWhenIdle) {
  auto& c = Controller();
  c.BtnStartClick();
  c.BtnCancelClick();  // abandons
  EXPECT_FALSE(c.View().closeRequested);
  c.BtnCancelClick();  // back to idle
  EXPECT_FALSE(c.View().closeRequested);
  c.BtnCancelClick();  // Exit
  EXPECT_TRUE(c.View().closeRequested);
}

TEST_F(RunControllerTest, AnErrorOutOfAStageRestoresThePointerAndLeavesTheButtonsDisabled) {
  stages_[0] = {[]() -> StepResult { throw std::runtime_error("broken step"); }};
  auto& c = Controller();
  EXPECT_THROW(c.BtnStartClick(), std::runtime_error);
  const RunView& view = c.View();
  EXPECT_FALSE(view.btnStartBusy);
  EXPECT_FALSE(view.btnStart.enabled);
  EXPECT_FALSE(view.btnCancel.enabled);
  EXPECT_FALSE(view.start1Enabled);
}

TEST_F(RunControllerTest, ClicksDuringAStageAreIgnored) {
  stages_[0].push_back([&] {
    Controller().BtnCancelClick();
    Controller().BtnStartClick();
    Controller().Start1Click();
    return kStepSucceeded;
  });
  Controller().BtnStartClick();
  EXPECT_EQ(runs_[0], 1);
  EXPECT_EQ(runs_[1], 0);
  EXPECT_EQ(log_.Lines(), (Lines{"Set White reference paper.", "", "Hit Next button."}));
  EXPECT_EQ(Controller().AdjResult, 1);
}

TEST_F(RunControllerTest, ClicksOnDisabledControlsAreIgnored) {
  results_[0] = kStepFailed;
  auto& c = Controller();
  c.BtnStartClick();
  c.BtnStartClick();  // disabled after the failure
  c.Start1Click();    // disabled outside the idle state
  EXPECT_EQ(runs_[0], 1);
  EXPECT_EQ(LastLines(1), Lines{"  Push Cancel button."});
}

TEST_F(RunControllerTest, ObserverSeesTheBusyPointerComeAndGo) {
  auto& c = Controller();
  std::vector<bool> busy;
  c.SetViewObserver([&] { busy.push_back(c.View().btnStartBusy); });
  c.BtnStartClick();
  ASSERT_FALSE(busy.empty());
  EXPECT_TRUE(busy.front());
  EXPECT_FALSE(busy.back());
}

// What a record of runs is told: one start and one end per run, the end once the run's last lines
// are in the log and its last command has gone to the head.
class RunEvents final : public RunObserver {
 public:
  RunEvents(const OperatorLog& log, const ScriptedPort& port) : log_(log), port_(port) {}
  void RunStarted() override { seen.push_back("started"); }
  void RunEnded(const RunEnding& ending) override {
    static const char* kHow[] = {"completed", "failed", "abandoned", "window closed"};
    seen.push_back(std::string(kHow[static_cast<int>(ending.how)]) + " stage " +
                   std::to_string(ending.lastStage) + " result " +
                   std::to_string(ending.lastResult));
    logAtEnd = log_.Lines();
    sentAtEnd = port_.written.size();
  }
  std::vector<std::string> seen;
  Lines logAtEnd;
  std::size_t sentAtEnd = 0;

 private:
  const OperatorLog& log_;
  const ScriptedPort& port_;
};

struct EndCase {
  const char* name;
  const char*
      acts;  // S Start or Next, F File > Start, C Cancel, W window closes, x next stage fails
  std::vector<std::string> seen;
};

class RunEnds : public RunControllerTest, public testing::WithParamInterface<EndCase> {};

TEST_P(RunEnds, TellsTheStartAndTheEndOnceAfterTheLastLineAndCommand) {
  RunEvents events(log_, port_);
  auto& c = Controller();
  c.SetRunObserver(&events);
  std::size_t stage = 0;
  for (const char* act = GetParam().acts; *act != '\0'; ++act) {
    const std::size_t before = events.seen.size();
    if (*act == 'S') c.BtnStartClick();
    if (*act == 'F') c.Start1Click();
    if (*act == 'C') c.BtnCancelClick();
    if (*act == 'W') c.WindowClosing();
    if (*act == 'x') results_[stage] = StepResult{163};
    if (*act == 'S' || *act == 'F') ++stage;
    if (events.seen.size() > before && events.seen.back() != "started") {
      EXPECT_EQ(events.logAtEnd, log_.Lines()) << "the end comes after the run's last lines";
      EXPECT_EQ(events.sentAtEnd, port_.written.size()) << "and after its last command";
    }
  }
  EXPECT_EQ(events.seen, GetParam().seen);
}

const EndCase kEndCases[] = {
    {"Completed", "SSSSSC", {"started", "completed stage 4 result 162"}},
    {"FailedAtStageTwo", "SSxSCW", {"started", "failed stage 2 result 163"}},
    {"FileStartFailed", "xF", {"started", "failed stage 0 result 163"}},
    {"AbandonedAtTheQuestion", "SSSSCW", {"started", "abandoned stage 3 result 1"}},
    {"WindowClosedWhileWaiting", "SSWW", {"started", "window closed stage 1 result 1"}},
    {"ClosedWhenIdle", "W", {}},
    {"TwoRuns",
     "SCCFW",
     {"started", "abandoned stage 0 result 1", "started", "window closed stage 0 result 1"}},
};

INSTANTIATE_TEST_SUITE_P(RunController, RunEnds, testing::ValuesIn(kEndCases),
                         [](const testing::TestParamInfo<EndCase>& row) { return row.param.name; });

TEST_F(RunControllerTest, ARunLeftByAnErrorEndsAsFailedWhenTheWindowCloses) {
  RunEvents events(log_, port_);
  stages_[1] = {[]() -> StepResult { throw std::runtime_error("broken step"); }};
  auto& c = Controller();
  c.SetRunObserver(&events);
  c.BtnStartClick();
  EXPECT_THROW(c.BtnStartClick(), std::runtime_error);
  c.WindowClosing();
  EXPECT_EQ(events.seen, (std::vector<std::string>{"started", "window closed stage 1 result 0"}));
}

}  // namespace
