#include "run/MainFormModel.h"

#include <gtest/gtest.h>

#include "tests/adjust/ScriptedPort.h"
#include "tests/run/MainWindowExpectations.h"
#include "tests/support/FakeClock.h"

namespace {

using Lines = std::vector<std::string>;

TEST(MainFormModel, StartsIdleWithTheStartUpText) {
  ScriptedPort port;
  CountingBell bell;
  FakeClock clock;
  NoIdlePump pump;
  MainFormModel model(port, bell, clock, pump);
  EXPECT_EQ(model.Log.Lines(), expected::kStartUpText);
  const RunView& view = model.Controller.View();
  EXPECT_EQ((expected::Shown{view.btnStart.caption, view.btnStart.enabled, view.btnCancel.caption,
                             view.btnCancel.enabled, view.start1Enabled, view.itemEnabled}),
            expected::kIdle);
  EXPECT_EQ(model.Controller.AdjResult, 1);
  EXPECT_EQ(model.Controller.AdjStage, 0);
  EXPECT_TRUE(model.Controller.StartPending);
  EXPECT_TRUE(model.Controller.ExitMode);
  EXPECT_FALSE(model.Controller.CancelMode);
  EXPECT_EQ(model.Record.MotorSpeed, 0u);
  EXPECT_EQ(model.Record.HeadIdField[0], '\0');
}

TEST(MainFormModel, WithoutAHeadTheFirstStartIsACommunicationError) {
  ScriptedPort port;
  port.open = false;  // the port could not be opened at start-up
  CountingBell bell;
  FakeClock clock;
  NoIdlePump pump;
  MainFormModel model(port, bell, clock, pump);
  model.Controller.BtnStartClick();
  EXPECT_EQ(model.Log.Lines(), expected::kCommunicationError);
  EXPECT_EQ(model.Controller.View().btnStart.caption, expected::kFailedAtStageZero.start);
  EXPECT_FALSE(model.Controller.View().btnStart.enabled);
  EXPECT_EQ(bell.rings, 0);
}

TEST(MainFormModel, StandInStagesReachTheController) {
  ScriptedPort port;
  CountingBell bell;
  FakeClock clock;
  NoIdlePump pump;
  MainFormModel model(port, bell, clock, pump, [](StepContext& context) {
    StageTable stages;
    stages[0] = {[&context] {
      context.log.AddLine("stand-in");
      return kStepSucceeded;
    }};
    return stages;
  });
  model.Controller.Start1Click();
  EXPECT_EQ(model.Log.Lines(), expected::kStart1Prompt);
}

}  // namespace
