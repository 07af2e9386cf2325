// Runs from clicks on the main window, through the real port driver and termios layer, against the
// simulated head running as its own process on a pseudo-terminal. A fake clock lets the 39 s of
// waits in the motor speed check pass at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/TMainForm.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/SimulatedHeadWindow.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadSimulator.h"
#include "tests/support/HeadTrace.h"
#include "tests/support/Recorders.h"

namespace {

class SimulatedHeadRunTest : public SimulatedHeadWindow {};

TEST_F(SimulatedHeadRunTest, AHealthyHeadPassesTheMotorCheckAndTheRunAsksForWhitePaper) {
  StartHead({});
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  EXPECT_EQ(Log(), ToQt(expected::kWholeRun[0].log));
  EXPECT_EQ(form_->BtnStart->text(), "Next");
  EXPECT_TRUE(form_->BtnStart->isEnabled());
  EXPECT_FALSE(form_->MotorTest->isEnabled());
  EXPECT_GE(clock_.Elapsed(), std::chrono::seconds(36));  // the waits of the motor check ran
}

TEST_F(SimulatedHeadRunTest, SpeedsOutsideTheWindowFailTheStage) {
  StartHead({"--scenario", Scenario("motor-speed-out-of-window.scn")});
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  EXPECT_EQ(Log(), (QStringList{" ***** MOTOR SPEED CHECK *****", "269 Motor speed error",
                                "451 Motor speed error", "350 Motor speed ok", "",
                                "  Push Cancel button."}));
  EXPECT_EQ(form_->BtnStart->text(), "Start");
  EXPECT_FALSE(form_->BtnStart->isEnabled());
  EXPECT_EQ(form_->BtnCancel->text(), "Cancel");
  QTest::mouseClick(form_->BtnCancel, Qt::LeftButton);
  EXPECT_EQ(form_->BtnCancel->text(), "Exit");
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(SimulatedHeadRunTest, ASilentHeadEndsTheStageWithACommunicationError) {
  StartHead({"--scenario", Scenario("no-answer.scn")});
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  EXPECT_EQ(Log(), ToQt(expected::kCommunicationError));
  EXPECT_FALSE(form_->BtnStart->isEnabled());
  EXPECT_TRUE(form_->BtnCancel->isEnabled());
  EXPECT_EQ(bell_.rings, 6);  // three between the four attempts, for 0xB1 and for 0xA6
}

TEST_F(SimulatedHeadRunTest, APulledCableEndsTheStageWithACommunicationError) {
  StartHead({});
  head_->Stop();
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  EXPECT_EQ(Log(), (QStringList{" Communication error", "", "  Push Cancel button."}));
  EXPECT_TRUE(form_->BtnCancel->isEnabled());
}

TEST_F(SimulatedHeadRunTest, WithoutAPortTheToolStartsAndTheFirstStartFailsAtOnce) {
  StartTool((dir_.Path() / "no-such-port").string());
  ASSERT_EQ(boxes_.shown.size(), 2u);  // no settings file yet, then the port
  EXPECT_EQ(boxes_.shown[1].caption, "RS232C PORT");
  EXPECT_FALSE(driver_.IsOpen());
  EXPECT_EQ(form_->BtnStart->text(), "Start");

  const auto before = std::chrono::steady_clock::now();
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
  EXPECT_EQ(Log(), (QStringList{" Communication error", "", "  Push Cancel button."}));
  EXPECT_EQ(bell_.rings, 0);
}

TEST_F(SimulatedHeadRunTest, NextRunsTheWhitePaperItemWithItsHeadingsShownAndAsksForBlackPaper) {
  StartHead({});
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  QStringList shown;
  QObject::connect(form_->AdjMemo, &QPlainTextEdit::textChanged,
                   [this, &shown] { shown.append(form_->AdjMemo->toPlainText()); });
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  for (const char* heading : {" ***** REGISTER check *****", " ***** Adjusting GAIN *****",
                              " ***** Adjusting D/A *****"}) {
    EXPECT_TRUE(std::any_of(shown.begin(), shown.end(), [heading](const QString& text) {
      return text.startsWith(heading);
    })) << heading;
  }
  EXPECT_EQ(Log(), ToQt(expected::kWholeRun[1].log));
  EXPECT_FALSE(form_->WhiteAdj->isEnabled());
  EXPECT_TRUE(form_->BtnStart->isEnabled());
  EXPECT_TRUE(form_->BtnCancel->isEnabled());
}

TEST_F(SimulatedHeadRunTest, AWholeRunByClicksShowsWhatTheTableSaysAfterEachClick) {
  StartHead({"--seed", "7"});
  for (const expected::Click& click : expected::kWholeRun) {
    SCOPED_TRACE(click.button);
    QPushButton* button =
        form_->BtnStart->text() == click.button ? form_->BtnStart : form_->BtnCancel;
    ASSERT_EQ(button->text(), click.button);
    ASSERT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    expected::Lines log;
    for (const QString& line : Log()) log.push_back(line.toStdString());
    EXPECT_TRUE(expected::LogMatches(log, click)) << Log().join('|').toStdString();
    if (&click == &expected::kWholeRun[4]) {
      EXPECT_EQ(log.front(), expected::kCompleteLine);
    }
    const expected::Shown shown{form_->BtnStart->text().toStdString(),
                                form_->BtnStart->isEnabled(),
                                form_->BtnCancel->text().toStdString(),
                                form_->BtnCancel->isEnabled(),
                                form_->Start1->isEnabled(),
                                {form_->MotorTest->isEnabled(), form_->WhiteAdj->isEnabled(),
                                 form_->BlackAdj->isEnabled(), form_->NonAdj->isEnabled()}};
    EXPECT_TRUE(shown == click.shown) << click.button;
  }
}

TEST_F(SimulatedHeadRunTest, CancelAtTheQuestionWritesNothingToTheHead) {
  const std::string trace = (dir_.Path() / "trace.txt").string();
  StartHead({"--trace", trace, "--seed", "7"});
  for (int click = 0; click < 4; ++click) QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  ASSERT_TRUE(Log().endsWith("Hit Next or Cancel button.  Yes-->Next No-->Cancel"));
  QTest::mouseClick(form_->BtnCancel, Qt::LeftButton);
  EXPECT_EQ(Log(), ToQt(expected::kAbandoned));
  head_->Stop();
  EXPECT_EQ(SentAfterTheCheckWord(Sent(ReadTrace(trace), "tool")), "");
}

}  // namespace
