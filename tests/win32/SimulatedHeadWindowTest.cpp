// The Win32 windows over the real port driver and the Windows serial device, against the
// simulated head running on Linux beside Wine, reached as COM1. A fake clock lets the 39 s of
// waits in the motor speed check pass at once.
#include <gtest/gtest.h>

#include <algorithm>

#include "link/PortText.h"
#include "tests/support/HeadTrace.h"
#include "tests/support/SimulatedHead.h"
#include "tests/win32/Win32Windows.h"
#include "win32/TLevelsForm.h"

namespace {

std::string SettingsText(const char* baud, const char* port, const char* stop) {
  return std::string("*** BILL VALIDATOR QZR-71 ***\r\n") + "BORDRATE:" + baud + "\r\n" +
         "COMPORT:" + port + "\r\n" + "STOPBIT:" + stop + "\r\n";
}

class SimulatedHeadWindowTest : public Win32Windows {
 protected:
  void StartHead(const std::vector<std::string>& options) {
    head_ = std::make_unique<SimulatedHead>(options);
    Make(driver_);
    ASSERT_TRUE(driver_.IsOpen());
  }

  HWND ButtonCaptioned(const char* caption) const {
    if (WindowText(form_->BtnStart) == caption) return form_->BtnStart;
    return form_->BtnCancel;
  }

  std::unique_ptr<SimulatedHead> head_;
};

TEST_F(SimulatedHeadWindowTest, AWholeRunByClicksShowsWhatTheTableSaysAfterEachClick) {
  StartHead({"--seed", "7"});
  EXPECT_EQ(Log(), expected::kStartUpText);
  EXPECT_EQ(Shown(), expected::kIdle);
  for (const expected::Click& click : expected::kWholeRun) {
    SCOPED_TRACE(click.button);
    const HWND button = ButtonCaptioned(click.button);
    ASSERT_EQ(WindowText(button), click.button);
    ASSERT_TRUE(Enabled(button));
    Click(button);
    EXPECT_TRUE(expected::LogMatches(Log(), click)) << testing::PrintToString(Log());
    EXPECT_EQ(Shown(), click.shown);
  }
  EXPECT_TRUE(Open());
  EXPECT_EQ(bell_.rings, 0);
}

TEST_F(SimulatedHeadWindowTest, TheCompletedRunEndsWithTheHeadsReport) {
  StartHead({"--seed", "7"});
  for (int click = 0; click < 5; ++click) Click(form_->BtnStart);
  EXPECT_EQ(Log(), (expected::Lines{expected::kCompleteLine, "", "  Push Complete button"}));
}

TEST_F(SimulatedHeadWindowTest, ASilentHeadEndsTheStageWithACommunicationError) {
  StartHead({"--scenario", SimulatedHead::Scenario("no-answer.scn")});
  Click(form_->BtnStart);
  EXPECT_EQ(Log(), expected::kCommunicationError);
  EXPECT_EQ(Shown(), expected::kFailedAtStageZero);
  EXPECT_EQ(bell_.rings, 6);  // three between the four attempts, for 0xB1 and for 0xA6
  Click(form_->BtnCancel);
  EXPECT_EQ(Log(), expected::kResetText);
  EXPECT_EQ(Shown(), expected::kIdle);
}

TEST_F(SimulatedHeadWindowTest, CancelAtTheQuestionWritesNothingToTheHead) {
  const std::filesystem::path trace = dir_.Path() / "trace.txt";
  StartHead({"--trace", SimulatedHead::PathForHead(trace), "--seed", "7"});
  for (int click = 0; click < 4; ++click) Click(form_->BtnStart);
  ASSERT_TRUE(expected::LogMatches(Log(), expected::kWholeRun[3]));
  Click(form_->BtnCancel);
  EXPECT_EQ(Log(), expected::kAbandoned);
  EXPECT_EQ(Shown(),
            (expected::Shown{"Next", false, "Cancel", true, false, {true, true, true, true}}));
  head_->Stop();
  EXPECT_EQ(SentAfterTheCheckWord(Sent(ReadTrace(trace), "tool")), "");
}

TEST_F(SimulatedHeadWindowTest, SelectRewritesTheFileAndReopensThePortWhichThenCarriesARun) {
  StartHead({});
  ASSERT_EQ(boxes_.shown, (std::vector<ShownBox>{{"Can not open file", "READ FILE"}}));
  EXPECT_EQ(ReadBytes(dir_.Path() / "comm.ini"), SettingsText("CBR_9600", "COM1", "ONESTOPBIT"));
  Choose(control::kCOMMport1);
  TRs232cForm& dialog = *Rs232cForm;
  EXPECT_EQ(dialog.SelRsBps.ItemIndex(), 1);
  Click(dialog.SelRsBps.Entries[2]);
  Click(dialog.SelStopBit.Entries[1]);
  // Only the pending choice changed so far.
  EXPECT_EQ(ReadBytes(dir_.Path() / "comm.ini"), SettingsText("CBR_9600", "COM1", "ONESTOPBIT"));
  EXPECT_EQ(portSettings_.Committed.BaudRate, 9600);

  Click(dialog.OkBtn);
  EXPECT_FALSE(dialog.IsVisible());
  EXPECT_TRUE(driver_.IsOpen());
  EXPECT_EQ(portSettings_.Committed.BaudRate, 19200);
  EXPECT_EQ(portSettings_.Committed.StopBits, 2);
  EXPECT_EQ(ReadBytes(dir_.Path() / "comm.ini"), SettingsText("CBR_19200", "COM1", "TWOSTOPBIT"));
  EXPECT_EQ(boxes_.shown.size(), 1u);

  // The reopened port reaches the head.
  Click(form_->BtnStart);
  EXPECT_EQ(Log(), expected::kWholeRun[0].log);
}

TEST_F(SimulatedHeadWindowTest, AFailedSelectShowsThePortBoxKeepsTheDialogAndCanselLeavesItClosed) {
  StartHead({});
  boxes_.shown.clear();
  Choose(control::kCOMMport1);
  TRs232cForm& dialog = *Rs232cForm;
  _putenv_s("QZR71_COM2", "\\\\.\\COM42");  // a port this machine does not have
  Click(dialog.SelRsCom.Entries[1]);
  Click(dialog.OkBtn);
  _putenv_s("QZR71_COM2", "");
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].caption, "RS232C PORT");
  EXPECT_EQ(boxes_.shown[0].text.rfind(kPortFailureText, 0), 0u) << boxes_.shown[0].text;
  EXPECT_TRUE(dialog.IsVisible());
  EXPECT_FALSE(driver_.IsOpen());
  EXPECT_EQ(dialog.SelRsCom.ItemIndex(), 1);

  // Esc is Cansel: the groups go back, the port stays closed.
  SetForegroundWindow(dialog.Handle());
  SetFocus(dialog.OkBtn);
  PostMessageW(dialog.OkBtn, WM_KEYDOWN, VK_ESCAPE, 1);
  Settle();
  EXPECT_FALSE(dialog.IsVisible());
  EXPECT_EQ(dialog.SelRsCom.ItemIndex(), 0);
  EXPECT_EQ(portSettings_.PortName, "COM1");
  EXPECT_FALSE(driver_.IsOpen());
  Click(form_->BtnStart);
  EXPECT_EQ(Log(), expected::kCommunicationError);
  EXPECT_EQ(bell_.rings, 0) << "no port: every exchange fails at once";
}

TEST_F(SimulatedHeadWindowTest, TheLevelsWindowFollowsTheDaAdjustmentBesideTheMainWindow) {
  StartHead({"--seed", "7"});
  Choose(control::kLevels1);
  ASSERT_NE(form_->LevelsForm, nullptr);
  const TLevelsForm& levels = *form_->LevelsForm;
  EXPECT_TRUE(levels.IsVisible());
  EXPECT_EQ(WindowText(levels.Handle()), "Levels");
  RECT main{}, beside{};
  GetWindowRect(form_->Handle(), &main);
  GetWindowRect(levels.Handle(), &beside);
  // Beside it and clear of it: the screen has room on either side.
  EXPECT_TRUE(beside.left >= main.right || beside.right <= main.left)
      << "main " << main.left << " to " << main.right << ", Levels " << beside.left << " to "
      << beside.right;

  Click(form_->BtnStart);
  Click(form_->BtnStart);  // white paper: the register check, the gain and the D/A adjustment
  const LevelsPicture& picture = levels.Picture();
  ASSERT_TRUE(picture.HasReport());
  EXPECT_FALSE(picture.Channels().empty());
  EXPECT_TRUE(std::any_of(picture.Channels().begin(), picture.Channels().end(),
                          [](const ChannelReading& c) { return c.name == "l3t_ir"; }));
}

}  // namespace
