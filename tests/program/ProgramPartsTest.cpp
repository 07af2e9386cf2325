// The program's parts wired as both programs wire them, with a pseudo-terminal as COM1 and a
// stand-in stage 0: a run begins by making sure of the port, and its record is told of the port
// open, not of a choice still pending in the settings dialog.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "program/ProgramParts.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"

namespace {

class ProgramPartsTest : public testing::Test {
 protected:
  ProgramPartsTest() { setenv("QZR71_COM1", pty_.SlavePath().c_str(), 1); }
  ~ProgramPartsTest() override { unsetenv("QZR71_COM1"); }

  PtyPair pty_;
  TempDir dir_;
  RecordingBoxes boxes_;
  NoIdlePump pump_;
  ProgramParts parts_{
      boxes_,
      pump_,
      {dir_.Path() / "comm.ini", dir_.Path() / "devices.json", dir_.Path() / "runs"}};
  CountingBell bell_;
  FakeClock clock_;
  bool openAtStageZero_ = false;
  MainFormModel model_{parts_.Port, bell_, clock_, pump_, [this](StepContext&) {
                         StageTable stages;
                         stages[0] = {[this] {
                           openAtStageZero_ = parts_.Port.IsOpen();
                           return kStepSucceeded;
                         }};
                         return stages;
                       }};
};

TEST_F(ProgramPartsTest, ARunReopensAClosedPortAndIsRecordedOnItNotOnAPendingChoice) {
  parts_.Settings.FormCreate();
  ASSERT_TRUE(parts_.Port.IsOpen());
  parts_.Port.Close();
  // COM2 at 19200 baud chosen in the dialog, Select not pressed.
  parts_.Settings.SelRsComClick(1);
  parts_.Settings.SelRsBpsClick(2);
  const auto recorder = parts_.WatchRuns(model_);
  model_.Controller.Start1Click();
  EXPECT_TRUE(openAtStageZero_) << "the port is opened again before the run's first step";
  // What the recorder is told at the run's start.
  const PortFacts port = parts_.DescribeOpenPort();
  EXPECT_EQ(port.name, "COM1");
  EXPECT_EQ(port.device, pty_.SlavePath());
  ASSERT_TRUE(port.line.has_value());
  EXPECT_EQ(port.line->baudRate, 9600u);
  EXPECT_EQ(parts_.Settings.PortName, "COM2") << "the choice stays pending";
}

}  // namespace
