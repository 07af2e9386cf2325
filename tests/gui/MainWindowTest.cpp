// The main window driven through clicks and keys, with stand-in stages where a test needs a
// particular outcome. Runs under the offscreen platform.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include <QAction>
#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include "Qzr71Version.h"
#include "console/DesignScale.h"
#include "console/Forms.h"
#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/QtMessageBoxes.h"
#include "console/TMainForm.h"
#include "console/TRs232cForm.h"
#include "console/TVersionForm.h"
#include "link/PortDriver.h"
#include "link/TermiosSerialDevice.h"
#include "records/RunRecorder.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/ThreeWindows.h"
#include "tests/support/FakeClock.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"

namespace {

const QStringList kStartUpText = ToQt(expected::kStartUpText);
const QStringList kResetText = ToQt(expected::kResetText);
using Shown = expected::Shown;

class MainWindowTest : public ThreeWindows {
 protected:
  MainWindowTest() {
    for (std::size_t stage = 0; stage < 5; ++stage) {
      results_[stage] = stage == 4 ? kRunCompleted : kStepSucceeded;
      form_->Model.Controller.SetStage(stage, {[this, stage] {
                                         ++runs_[stage];
                                         form_->Model.Log.ClearLog();
                                         if (during_) during_();
                                         form_->Model.Log.AddLine(" stage line");
                                         return results_[stage];
                                       }});
    }
    ShowMainWindow();
  }

  QStringList Log() const { return LogLines(form_->AdjMemo->toPlainText()); }

  void ExpectShown(const Shown& shown) const {
    EXPECT_EQ(form_->BtnStart->text().toStdString(), shown.start);
    EXPECT_EQ(form_->BtnStart->isEnabled(), shown.startEnabled);
    EXPECT_EQ(form_->BtnCancel->text().toStdString(), shown.cancel);
    EXPECT_EQ(form_->BtnCancel->isEnabled(), shown.cancelEnabled);
    EXPECT_EQ(form_->Start1->isEnabled(), shown.start1Enabled);
    const QLabel* labels[] = {form_->MotorTest, form_->WhiteAdj, form_->BlackAdj, form_->NonAdj};
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(labels[i]->isEnabled(), shown.items[i]) << labels[i]->text().toStdString();
    }
  }

  void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

  std::array<StepResult, 5> results_{};
  std::array<int, 5> runs_{};
  std::function<void()> during_;
};

TEST_F(MainWindowTest, StartsWithTheStartTextCaptionsMenusAndEnabledControls) {
  EXPECT_EQ(Log(), kStartUpText);
  ExpectShown({"Start", true, "Exit", true, true, {true, true, true, true}});
  EXPECT_EQ(form_->windowTitle(), "QZR-71 Adjustment software");
  EXPECT_EQ(form_->AdjItem->title(), "Adjustment Item");
  EXPECT_TRUE(form_->AdjItem->font().underline());
  EXPECT_FALSE(form_->MotorTest->font().underline());
  EXPECT_EQ(form_->MotorTest->text(), "1. Motor speed check");
  EXPECT_EQ(form_->WhiteAdj->text(), "2. White paper adjustment");
  EXPECT_EQ(form_->BlackAdj->text(), "3. Black paper adjustment");
  EXPECT_EQ(form_->NonAdj->text(), "4. Non paper adjustment");

  EXPECT_EQ(form_->File1->title(), "File");
  EXPECT_EQ(form_->Opiton1->title(), "Opiton");
  EXPECT_EQ(form_->File1->actions(), (QList<QAction*>{form_->Start1, form_->Exit1}));
  EXPECT_EQ(form_->Opiton1->actions(),
            (QList<QAction*>{form_->COMMport1, form_->Version1, form_->Serialdevices1,
                             form_->Levels1, form_->Runsfolder1, form_->Runs1}));
  EXPECT_EQ(form_->Start1->text(), "Start");
  EXPECT_EQ(form_->Exit1->text(), "Exit");
  EXPECT_EQ(form_->Exit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
  EXPECT_EQ(form_->COMMport1->text(), "COM port");
  EXPECT_EQ(form_->Serialdevices1->text(), "Serial devices");
  EXPECT_EQ(form_->Version1->text(), "Version");
  EXPECT_EQ(form_->Levels1->text(), "Levels");
  for (QAction* item : {form_->Start1, form_->Exit1, form_->COMMport1, form_->Version1}) {
    EXPECT_TRUE(item->isEnabled());
  }

  // Fixed border, no maximize box; the designed client area in logical pixels.
  EXPECT_FALSE(form_->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form_->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(form_->minimumSize(), form_->maximumSize());
  EXPECT_EQ(form_->centralWidget()->size(), QSize(481, 272));
  EXPECT_EQ(form_->BtnStart->geometry(), QRect(335, 25, 132, 26));
  EXPECT_EQ(form_->AdjMemo->geometry(), QRect(8, 106, 466, 156));
}

TEST_F(MainWindowTest, TheLogIsReadOnlyOutOfTheTabOrderNamedAndWraps) {
  EXPECT_TRUE(form_->AdjMemo->isReadOnly());
  EXPECT_EQ(form_->AdjMemo->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(form_->AdjMemo->accessibleName(), "Log");
  EXPECT_EQ(form_->AdjMemo->lineWrapMode(), QPlainTextEdit::WidgetWidth);

  ASSERT_TRUE(WaitForActive(form_.get()));
  form_->BtnStart->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form_->BtnCancel);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form_->BtnStart);

  // Typing into the log changes nothing.
  QTest::keyClicks(form_->AdjMemo, "typed");
  EXPECT_EQ(Log(), kStartUpText);
}

TEST_F(MainWindowTest, ALogLongerThanTheBoxShowsItsNewestLine) {
  during_ = [this] {
    for (int i = 0; i < 40; ++i) form_->Model.Log.AddLine("reading " + std::to_string(i));
  };
  results_[0] = kStepFailed;
  Click(form_->BtnStart);
  QScrollBar* scroll = form_->AdjMemo->verticalScrollBar();
  EXPECT_GT(scroll->maximum(), 0);
  EXPECT_EQ(scroll->value(), scroll->maximum());
  EXPECT_EQ(Log().last(), "  Push Cancel button.");
}

TEST_F(MainWindowTest, AWholeRunThroughStartNextAndComplete) {
  // After each click as the shared table says; the stand-in stages write " stage line" where the
  // items write their own.
  for (const expected::Click& click : expected::kWholeRun) {
    SCOPED_TRACE(click.button);
    QPushButton* button =
        form_->BtnStart->text() == click.button ? form_->BtnStart : form_->BtnCancel;
    ASSERT_EQ(button->text(), click.button);
    Click(button);
    if (click.wholeLog) {
      EXPECT_EQ(Log(), ToQt(click.log));
    } else {
      EXPECT_EQ(Log(), QStringList{" stage line"} + ToQt(click.log));
    }
    ExpectShown(click.shown);
  }
  EXPECT_EQ(runs_, (std::array<int, 5>{1, 1, 1, 1, 1}));
  EXPECT_TRUE(form_->isVisible());
  EXPECT_TRUE(port_.written.empty());
}

TEST_F(MainWindowTest, AFailedStageOffersOnlyCancelAndTellsTheHead) {
  Click(form_->BtnStart);
  results_[1] = kAdjustmentFailed;
  Click(form_->BtnStart);
  EXPECT_EQ(Log(), (QStringList{" stage line", "", "  Push Cancel button."}));
  ExpectShown({"Start", false, "Cancel", true, false, {false, true, true, true}});
  ASSERT_EQ(port_.written.size(), 1u);
  EXPECT_EQ(port_.written[0], std::vector<std::uint8_t>{head::kCmdEndReading});

  // The disabled Start does nothing; Cancel leads back to idle without closing.
  Click(form_->BtnStart);
  EXPECT_EQ(runs_[0], 1);
  Click(form_->BtnCancel);
  EXPECT_EQ(Log(), kResetText);
  ExpectShown({"Start", true, "Exit", true, true, {true, true, true, true}});
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(MainWindowTest, CancelWhileWaitingAbandonsTheRunWithoutAWordToTheHead) {
  Click(form_->BtnStart);
  Click(form_->BtnStart);
  Click(form_->BtnCancel);
  EXPECT_EQ(Log(), (QStringList{" This machine has not been completed the adjustment!!", "",
                                "  Push Cancel button"}));
  ExpectShown({"Next", false, "Cancel", true, false, {true, true, true, true}});
  EXPECT_TRUE(port_.written.empty());
  Click(form_->BtnCancel);
  EXPECT_EQ(Log(), kResetText);
  EXPECT_TRUE(form_->isVisible());
}

TEST_F(MainWindowTest, FileStartRunsStageZeroWithItsOwnPromptAndLeavesTheLabel) {
  during_ = [this] {
    // Through the menu the pointer stays as it is and Cancel stays usable.
    EXPECT_FALSE(form_->BtnStart->testAttribute(Qt::WA_SetCursor));
    EXPECT_TRUE(form_->BtnCancel->isEnabled());
  };
  ChooseMenuItem(form_->MainMenu1, form_->File1, form_->Start1);
  ASSERT_EQ(runs_[0], 1);
  EXPECT_EQ(Log(), (QStringList{" Set White reference paper.", "", "Hit Next button."}));
  ExpectShown({"Next", true, "Cancel", true, false, {true, true, true, true}});
}

TEST_F(MainWindowTest, FileStartFailureUsesItsOwnCancelLine) {
  results_[0] = kStepFailed;
  ChooseMenuItem(form_->MainMenu1, form_->File1, form_->Start1);
  EXPECT_EQ(Log().last(), "  Push Cancel buttton.");
  ExpectShown({"Start", false, "Cancel", true, false, {true, true, true, true}});
}

TEST_F(MainWindowTest, TheBusyPointerIsOnStartOnlyWhileAStageRuns) {
  std::vector<bool> busy;
  during_ = [&] {
    busy.push_back(form_->BtnStart->testAttribute(Qt::WA_SetCursor) &&
                   form_->BtnStart->cursor().shape() == Qt::WaitCursor);
    EXPECT_FALSE(form_->BtnStart->isEnabled());
    EXPECT_FALSE(form_->BtnCancel->isEnabled());
  };
  Click(form_->BtnStart);
  results_[1] = kStepFailed;
  Click(form_->BtnStart);
  EXPECT_EQ(busy, (std::vector<bool>{true, true}));
  EXPECT_FALSE(form_->BtnStart->testAttribute(Qt::WA_SetCursor));
}

TEST_F(MainWindowTest, TheLogRepaintsWhileAStageWaits) {
  int paints = 0;
  struct PaintCounter : QObject {
    int& count;
    explicit PaintCounter(int& c) : count(c) {}
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) ++count;
      return false;
    }
  } counter(paints);
  form_->AdjMemo->viewport()->installEventFilter(&counter);
  QString shownMidStage;
  during_ = [&] {
    form_->Model.Log.AddLine(" ***** MOTOR SPEED CHECK *****");
    paints = 0;
    pump_.Pump();  // what a timed wait does
    shownMidStage = form_->AdjMemo->toPlainText();
  };
  Click(form_->BtnStart);
  EXPECT_GT(paints, 0);
  EXPECT_EQ(shownMidStage, " ***** MOTOR SPEED CHECK *****");
  form_->AdjMemo->viewport()->removeEventFilter(&counter);
}

TEST_F(MainWindowTest, InputGivenDuringAStageIsDiscardedNotDeliveredAfterwards) {
  // A control first: a queued click on Start in the idle state does run stage 0.
  PostClick(form_->BtnStart);
  QCoreApplication::processEvents();
  ASSERT_EQ(runs_[0], 1);
  ASSERT_TRUE(form_->BtnStart->isEnabled());  // waiting for Next

  during_ = [this] {
    // The technician clicks Next (twice), Cancel, and types Ctrl+X while the head works; the
    // window system queues all of it. Some of it is dispatched by a pump inside the stage, the
    // rest only after the stage.
    PostClick(form_->BtnStart);
    PostClick(form_->BtnCancel);
    pump_.Pump();
    PostClick(form_->BtnStart);
    PostKey(form_.get(), Qt::Key_X, Qt::ControlModifier);
    PostKey(form_.get(), Qt::Key_Space, Qt::NoModifier);
  };
  Click(form_->BtnStart);  // Next: stage 1
  during_ = nullptr;
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();

  EXPECT_EQ(runs_[1], 1);
  EXPECT_EQ(runs_[2], 0) << "a click queued during stage 1 started stage 2";
  EXPECT_TRUE(form_->isVisible());
  EXPECT_EQ(Log(), ToQt(expected::kWholeRun[1].log));
  ExpectShown({"Next", true, "Cancel", true, false, {false, false, true, true}});

  // Input is taken again once the stage is over.
  Click(form_->BtnStart);
  EXPECT_EQ(runs_[2], 1);
}

TEST_F(MainWindowTest, ABoxShownDuringAStageStillTakesItsClick) {
  bool clicked = false;
  bool forced = false;
  QObject guard;  // no timer of this test fires after it
  during_ = [&] {
    QTimer::singleShot(20, &guard, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
      clicked = true;
      QTimer::singleShot(200, &guard, [&forced] {
        if (auto* still = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
          forced = true;
          still->accept();
        }
      });
    });
    QtMessageBoxes().ShowExclamation("Can not open file", "WRITE FILE");
  };
  Click(form_->BtnStart);
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(forced) << "the click on OK was swallowed";
}

TEST_F(MainWindowTest, ExitClosesOnlyInTheIdleState) {
  Click(form_->BtnStart);
  Click(form_->BtnCancel);  // abandon
  EXPECT_TRUE(form_->isVisible());
  Click(form_->BtnCancel);  // back to idle
  EXPECT_TRUE(form_->isVisible());
  Click(form_->BtnCancel);  // Exit
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainWindowTest, CtrlXClosesInTheIdleState) {
  ASSERT_TRUE(WaitForActive(form_.get()));
  QTest::keyClick(form_.get(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainWindowTest, CtrlXClosesWhileTheRunWaitsForNext) {
  Click(form_->BtnStart);
  ASSERT_TRUE(WaitForActive(form_.get()));
  QTest::keyClick(form_.get(), Qt::Key_X, Qt::ControlModifier);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_TRUE(port_.written.empty());
}

TEST_F(MainWindowTest, ClosingDuringAStageWaitsForTheStageToEnd) {
  bool visibleAfterClose = false;
  bool stageFinished = false;
  during_ = [&] {
    form_->close();  // the close box, while the motor runs
    pump_.Pump();
    visibleAfterClose = form_->isVisible();
    stageFinished = true;
  };
  Click(form_->BtnStart);
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_TRUE(stageFinished);
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainWindowTest, AnErrorEscapingAStageIsShownAndTheProgramGoesOn) {
  form_->Model.Controller.SetStage(
      1, {[]() -> StepResult { throw std::runtime_error("Range check error"); }});
  Click(form_->BtnStart);
  ModalBoxCloser closer;
  Click(form_->BtnStart);
  ASSERT_EQ(closer.seen.size(), 1u);
  EXPECT_EQ(closer.seen[0].text, "Range check error");
  EXPECT_EQ(closer.seen[0].icon, QMessageBox::Critical);
  EXPECT_EQ(closer.seen[0].buttons, 1);
  EXPECT_FALSE(form_->BtnStart->testAttribute(Qt::WA_SetCursor));
  EXPECT_FALSE(form_->BtnStart->isEnabled());
  EXPECT_FALSE(form_->BtnCancel->isEnabled());
  EXPECT_FALSE(form_->Start1->isEnabled());
  EXPECT_TRUE(form_->isVisible());

  // File > Exit, COM port and Version stay usable.
  ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->Version1);
  EXPECT_TRUE(VersionForm->isVisible());
  ChooseMenuItem(form_->MainMenu1, form_->File1, form_->Exit1);
  EXPECT_FALSE(form_->isVisible());
}

TEST_F(MainWindowTest, TheDialogsOpenWithoutBlockingAndComeToTheFront) {
  ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->COMMport1);
  ASSERT_TRUE(Rs232cForm->isVisible());
  EXPECT_FALSE(Rs232cForm->isModal());
  EXPECT_TRUE(WaitForActive(Rs232cForm));

  ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->Version1);
  ASSERT_TRUE(VersionForm->isVisible());
  EXPECT_FALSE(VersionForm->isModal());
  EXPECT_TRUE(WaitForActive(VersionForm));
  EXPECT_EQ(VersionForm->Label3->text(), "Version " QZR71_VERSION "-01");

  // Asked for again while open: the same dialog, in front, with the same text.
  ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->COMMport1);
  EXPECT_TRUE(WaitForActive(Rs232cForm));
  ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->Version1);
  EXPECT_TRUE(WaitForActive(VersionForm));
  EXPECT_EQ(VersionForm->Label3->text(), "Version " QZR71_VERSION "-01");
  EXPECT_EQ(form_->findChildren<TVersionForm*>().size(), 1);

  // The main window stays usable with both dialogs up.
  Click(form_->BtnStart);
  EXPECT_EQ(runs_[0], 1);

  // Closing the main window takes the dialogs with it.
  ChooseMenuItem(form_->MainMenu1, form_->File1, form_->Exit1);
  EXPECT_FALSE(form_->isVisible());
  EXPECT_FALSE(Rs232cForm->isVisible());
  EXPECT_FALSE(VersionForm->isVisible());
}

// Stands in for the desktop's file manager: remembers the folders it was asked to show.
class FileManager final : public QObject {
  Q_OBJECT

 public:
  FileManager() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "Show"); }
  ~FileManager() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
  QList<QUrl> shown;

 public slots:
  void Show(const QUrl& url) { shown.append(url); }
};

TEST_F(MainWindowTest, RunsFolderOpensTheRecordsFolderInTheFileManager) {
  const std::filesystem::path folder = dir_.Path() / "records" / "runs";
  setenv("QZR71_RUNS_DIR", folder.c_str(), 1);
  FileManager files;
  EXPECT_EQ(form_->Runsfolder1->text(), "Runs folder");
  ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->Runsfolder1);
  unsetenv("QZR71_RUNS_DIR");
  EXPECT_EQ(files.shown, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(folder.string()))});
  EXPECT_TRUE(std::filesystem::is_directory(folder)) << "made before the first run";
}

TEST_F(MainWindowTest, RunsOpensTheIndexOfTheRunsFolderInTheBrowser) {
  const std::filesystem::path folder = dir_.Path() / "records" / "runs";
  setenv("QZR71_RUNS_DIR", folder.c_str(), 1);
  FileManager browser;
  EXPECT_EQ(form_->Runs1->text(), "Runs");
  ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->Runs1);
  unsetenv("QZR71_RUNS_DIR");
  EXPECT_EQ(
      browser.shown,
      QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString((folder / "index.html").string()))});
  EXPECT_NE(ReadBytes(folder / "index.html").find("No run yet."), std::string::npos)
      << "written before the first run";
}

TEST_F(MainWindowTest, ClosingTheWindowWhileARunWaitsLeavesItsRecord) {
  RunRecorder recorder(form_->Model, dir_.Path() / "runs", {}, boxes_);
  Click(form_->BtnStart);
  ChooseMenuItem(form_->MainMenu1, form_->File1, form_->Exit1);
  EXPECT_FALSE(form_->isVisible());
  const std::string history = ReadBytes(dir_.Path() / "runs" / "runs.csv");
  EXPECT_NE(history.find(",window closed,1. Motor speed check,"), std::string::npos) << history;
  EXPECT_TRUE(port_.written.empty()) << "nothing goes to the head";
}

TEST(VersionDialog, ShowsItsFixedTextsAndTheLogoAtTheirDesignedPlaces) {
  TVersionForm form(nullptr);
  form.SetVersionText(ComposeVersionText());
  EXPECT_EQ(form.windowTitle(), "Version");
  EXPECT_EQ(form.Label2->text(), "QZR-71 ADJUSTMENT");
  EXPECT_EQ(form.Label4->text(), "Service");
  EXPECT_EQ(form.Label3->text(), "Version " QZR71_VERSION "-01");
  EXPECT_FALSE(form.Label1->text().isEmpty());
  EXPECT_EQ(form.size().expandedTo(QSize(267, 90)), form.size());  // at least as designed
  EXPECT_EQ(form.Label3->pos(), QPoint(106, 48));
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  const QPixmap logo = form.Image1->pixmap();
  ASSERT_FALSE(logo.isNull());
  EXPECT_EQ(logo.deviceIndependentSize().toSize(), QSize(72, 36));
}

TEST(DesignScale, DesignedPixelsAt120DpiBecomeLogicalPixelsAt96) {
  EXPECT_EQ(design::ToLogical(601), 481);  // 480.8
  EXPECT_EQ(design::ToLogical(340), 272);
  EXPECT_EQ(design::ToLogical(21), 17);  // 16.8
  EXPECT_EQ(design::ToLogical(2), 2);    // 1.6
  EXPECT_EQ(design::ToLogical(1), 1);    // 0.8
  EXPECT_EQ(design::ToLogical(0), 0);
  EXPECT_EQ(design::CenturyFont(19).pixelSize(), 15);
  EXPECT_EQ(design::CenturyFont(12).pixelSize(), 10);
  const QString face = QFontInfo(design::CenturyFont(17)).family();
  EXPECT_TRUE(face.contains("Century") || face.contains("Serif") || face == "C059" ||
              face.contains("Schola"))
      << face.toStdString();
}

}  // namespace

#include "MainWindowTest.moc"
