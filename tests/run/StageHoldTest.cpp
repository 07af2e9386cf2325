// What both skins' input filters ask while a stage holds the thread, and the guard around every
// handler.
#include "run/StageHold.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

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

}  // namespace
