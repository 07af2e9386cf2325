// What both skins' input filters ask while a stage holds the thread, the guard around every
// handler, and the main window's clicks that go to the run.
#include "run/StageHold.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "run/MainFormClicks.h"
#include "run/MainFormModel.h"
#include "tests/adjust/ScriptedPort.h"
#include "tests/support/FakeClock.h"

namespace {

TEST(StageHold, AClosePutOffByAStageIsCarriedOutOnceWhenTheOutermostHoldEnds) {
  StageHold hold;
  EXPECT_FALSE(hold.HoldClose()) << "outside a stage the window closes at once";
  hold.Engage();
  hold.Engage();  // the stage pumps
  EXPECT_FALSE(hold.LastHold());
  EXPECT_TRUE(hold.HoldClose());
  EXPECT_FALSE(hold.Release());
  EXPECT_FALSE(hold.TakeHeldClose()) << "the stage still runs";
  EXPECT_TRUE(hold.LastHold());
  EXPECT_TRUE(hold.Release());
  EXPECT_TRUE(hold.TakeHeldClose());
  EXPECT_FALSE(hold.TakeHeldClose()) << "told once";

  hold.Engage();
  EXPECT_TRUE(hold.Release());
  EXPECT_FALSE(hold.TakeHeldClose()) << "a stage nobody tried to close during";
}

TEST(CallGuarded, AnEscapingErrorBecomesTheBoxTextAndGoesNoFurther) {
  std::string shown;
  const auto show = [&shown](const std::string& text) { shown = text; };
  CallGuarded([] { throw std::logic_error("run controller: no stage 5"); }, show);
  EXPECT_EQ(shown, "run controller: no stage 5");
  CallGuarded([] { throw 7; }, show);
  EXPECT_EQ(shown, "Unknown error");
  shown.clear();
  int calls = 0;
  CallGuarded([&calls] { ++calls; }, show);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(shown, "");
}

// A main window as each skin makes it, without a window: what it was asked to do, and how many
// holds on its input were in force when stage 0 ran.
struct ClickingForm : MainFormClicks<ClickingForm> {
  struct Held {
    explicit Held(int& count) : holds(count) { ++holds; }
    ~Held() { --holds; }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
    int& holds;
  };

  explicit ClickingForm(std::function<StepResult()> stage)
      : Model(port, bell, clock, pump, [stage, this](StepContext&) {
          StageTable stages;
          stages[0] = {[stage, this] {
            holdsInStage = holds;
            return stage();
          }};
          return stages;
        }) {}

  void Guarded(const std::function<void()>& handler) {
    CallGuarded(handler, [this](const std::string& text) { boxes.push_back(text); });
  }
  Held HoldInput() { return Held(holds); }
  void CloseWindow() { ++closes; }

  ScriptedPort port;
  CountingBell bell;
  FakeClock clock;
  NoIdlePump pump;
  MainFormModel Model;
  int holds = 0;
  int holdsInStage = -1;
  int closes = 0;
  std::vector<std::string> boxes;
};

TEST(MainFormClicks, AStageRunsWithTheInputHeldAndAnErrorOutOfItBecomesABox) {
  ClickingForm form([]() -> StepResult { throw std::runtime_error("broken step"); });
  form.Start1Click();
  EXPECT_EQ(form.holdsInStage, 1);
  EXPECT_EQ(form.holds, 0) << "released when the stage has ended, also by an error";
  EXPECT_EQ(form.boxes, std::vector<std::string>{"broken step"});
  EXPECT_EQ(form.closes, 0);

  ClickingForm next([] { return kStepSucceeded; });
  next.BtnStartClick();
  EXPECT_EQ(next.holdsInStage, 1);
  EXPECT_EQ(next.holds, 0);
}

TEST(MainFormClicks, CancelClosesTheWindowOnlyWhenTheRunAsksAndExitAlways) {
  ClickingForm form([] { return kStepSucceeded; });
  form.BtnStartClick();
  form.BtnCancelClick();  // abandons the run
  form.BtnCancelClick();  // back to idle
  EXPECT_EQ(form.closes, 0);
  form.BtnCancelClick();  // Exit
  EXPECT_EQ(form.closes, 1);
  form.Exit1Click();
  EXPECT_EQ(form.closes, 2);
  EXPECT_EQ(form.holds, 0);
  EXPECT_TRUE(form.boxes.empty());
}

}  // namespace
