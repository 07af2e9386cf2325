// The Levels window with real widgets under the offscreen platform: against the simulated head
// (its own process on a pseudo-terminal, through the real port driver and termios layer) while
// stages run and after they fail, and with stand-in stages for its pace and its input.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <QAccessible>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "adjust/AdjustGain.h"
#include "adjust/ReadHeadData.h"
#include "adjust/SensorTables.h"
#include "console/ChannelBar.h"
#include "console/TLevelsForm.h"
#include "console/TMainForm.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/SimulatedHeadWindow.h"
#include "tests/gui/ThreeWindows.h"

namespace {

using Names = std::vector<std::string>;

// Calls back on every paint of the watched widget.
class PaintWatcher final : public QObject {
 public:
  explicit PaintWatcher(std::function<void()> onPaint) : onPaint_(std::move(onPaint)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) onPaint_();
    return false;
  }

 private:
  std::function<void()> onPaint_;
};

std::vector<ChannelBar*> ShownBars(const TLevelsForm* levels) {
  std::vector<ChannelBar*> shown;
  for (ChannelBar* bar : levels->Bars) {
    if (bar->isVisible()) shown.push_back(bar);
  }
  return shown;
}

Names MarkedChannels(const TLevelsForm* levels) {
  Names marked;
  for (const ChannelBar* bar : ShownBars(levels)) {
    if (bar->State() == ChannelState::kJudgedBad) marked.emplace_back(bar->Channel().name);
  }
  return marked;
}

// The names in the log's " Error sensor:" listing, with its continuation lines.
Names ListedChannels(const QStringList& log) {
  Names listed;
  bool inListing = false;
  for (const QString& line : log) {
    QString names;
    if (line.startsWith(" Error sensor:")) {
      names = line.mid(14);
    } else if (inListing && line.startsWith(QString(14, QLatin1Char(' ')))) {
      names = line;
    } else {
      inListing = false;
      continue;
    }
    inListing = true;
    for (const QString& name : names.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      listed.push_back(name.toStdString());
    }
  }
  return listed;
}

QString AccessibleText(QObject* object, QAccessible::Text kind) {
  QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
  return node != nullptr ? node->text(kind) : QString();
}

class LevelsWithHead : public SimulatedHeadWindow {
 protected:
  TLevelsForm* OpenLevels() {
    ChooseMenuItem(form_->MainMenu1, form_->Opiton1, form_->Levels1);
    TLevelsForm* levels = form_->LevelsForm;
    EXPECT_NE(levels, nullptr);
    if (levels != nullptr) {
      EXPECT_TRUE(QTest::qWaitForWindowExposed(levels));
    }
    return levels;
  }
};

// Stage 0 reads the head's data and adjusts the gains of the long set, nothing else.
StageTable GainAdjustmentOnly(StepContext& context) {
  StageTable stages;
  stages[0] = {
      [&context] { return ReadHeadData(context); },
      [&context] { return AdjustGain(context, context.record.PaperGain, ChannelSet::k24); }};
  return stages;
}

TEST_F(LevelsWithHead, WhileTheGainsAreAdjustedItShowsTheStepAGrowingCountAndABarPerChannel) {
  // At the line's pace the tool waits for each reply, and its pump repaints the windows.
  StartHead({"--baud", "9600", "--seed", "7"}, GainAdjustmentOnly);
  TLevelsForm* levels = OpenLevels();
  ASSERT_NE(levels, nullptr);

  struct Seen {
    QString step;
    int count, most;
    std::size_t bars;
  };
  std::vector<Seen> seen;  // what the window painted while the stage held the thread
  PaintWatcher watcher([&] {
    if (blocker_.Engaged()) {
      seen.push_back({levels->StepLabel->text(), levels->CountBar->value(),
                      levels->CountBar->maximum(), ShownBars(levels).size()});
    }
  });
  levels->CountBar->installEventFilter(&watcher);
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  levels->CountBar->removeEventFilter(&watcher);
  ASSERT_EQ(form_->BtnStart->text(), "Next") << Log().join('\n').toStdString();

  std::vector<Seen> gains;
  std::copy_if(seen.begin(), seen.end(), std::back_inserter(gains),
               [](const Seen& s) { return s.step == "Gain adjustment, 24 channels"; });
  ASSERT_GE(gains.size(), 2u) << "the window did not repaint during the gain adjustment";
  for (std::size_t i = 1; i < gains.size(); ++i) EXPECT_GE(gains[i].count, gains[i - 1].count);
  EXPECT_GT(gains.back().count, gains.front().count);
  for (const Seen& s : gains) {
    EXPECT_EQ(s.most, 64);
    if (s.count > 0) {
      EXPECT_EQ(s.bars, 23u) << "after pass " << s.count;
    }
  }
  // When the stage is over the last picture comes with the next refresh, and stays: the passes it
  // took and every channel in.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return levels->StepLabel->text() == "Gain adjustment, 24 channels"; }, 2000));
  QTest::qWait(300);
  EXPECT_EQ(levels->StepLabel->text(), "Gain adjustment, 24 channels");
  EXPECT_GE(levels->CountBar->value(), gains.back().count);
  EXPECT_EQ(levels->SummaryLabel->text(), "Judged: every channel passed");
  EXPECT_EQ(ShownBars(levels).size(), 23u);
}

struct FailureCase {
  const char* scenario;
  int clicks;  // Start, then Next until the stage that fails
  const char* step;
  Names listed;
};

class LevelsAfterAFailure : public LevelsWithHead,
                            public testing::WithParamInterface<FailureCase> {};

TEST_P(LevelsAfterAFailure, MarksTheChannelsTheLogListsAndReadsThemOutAsText) {
  const FailureCase& c = GetParam();
  StartHead({"--scenario", Scenario(c.scenario), "--seed", "7"});
  TLevelsForm* levels = OpenLevels();
  ASSERT_NE(levels, nullptr);
  for (int click = 0; click < c.clicks; ++click) {
    QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  }
  ASSERT_EQ(Log().last(), "  Push Cancel button.") << Log().join('\n').toStdString();
  // The last picture comes with the next refresh, and stays.
  EXPECT_TRUE(QTest::qWaitFor([&] { return levels->StepLabel->text() == c.step; }, 2000));
  QTest::qWait(300);

  EXPECT_EQ(levels->StepLabel->text(), c.step);
  EXPECT_EQ(ListedChannels(Log()), c.listed) << Log().join('\n').toStdString();
  EXPECT_EQ(MarkedChannels(levels), c.listed);

  const std::vector<ChannelBar*> bars = ShownBars(levels);
  ASSERT_EQ(bars.size(), levels->Picture().Channels().size());
  for (ChannelBar* bar : bars) {
    const ChannelReading& channel = bar->Channel();
    EXPECT_EQ(AccessibleText(bar, QAccessible::Name),
              QString::fromStdString(std::string(channel.name)));
    const QString description = AccessibleText(bar, QAccessible::Description);
    EXPECT_EQ(description, QString::fromStdString(levels->Picture().SpokenText(channel)));
    EXPECT_TRUE(description.contains("level " + QString::number(channel.level)));
    EXPECT_EQ(description.contains("judged bad"), bar->State() == ChannelState::kJudgedBad)
        << description.toStdString();
  }
  EXPECT_EQ(AccessibleText(levels->CountBar, QAccessible::Description), levels->CountBar->format());
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, LevelsAfterAFailure,
    testing::Values(
        FailureCase{"da-settles-out-of-range.scn", 2, "D/A adjustment", {"l3u_gn"}},
        FailureCase{"gain-step-flat.scn", 2, "Gain step check", {"r3t_rd"}},
        FailureCase{"black-level-over-in-tenth-reading.scn", 3, "Black level check", {"c0d_ir"}},
        FailureCase{"data-select-stuck.scn",
                    2,
                    "Data select line check",
                    {"l3t_ir", "c0t_ir", "r3t_ir", "l3t_gn", "c0t_rd", "r3t_rd", "l2t_gn", "r1t_rd",
                     "r2t_gn", "l1t_rd"}}));

class LevelsStandIn : public ThreeWindows {
 protected:
  LevelsStandIn() {
    ShowMainWindow();
    form_->Levels1->trigger();
    levels_ = form_->LevelsForm;
    EXPECT_TRUE(QTest::qWaitForWindowExposed(levels_));
  }
  void RunStage(std::function<void()> during) {
    form_->Model.Controller.SetStage(0, {[during] {
                                       during();
                                       return kStepSucceeded;
                                     }});
    QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  }
  TLevelsForm* levels_ = nullptr;
};

TEST_F(LevelsStandIn, RefreshesAtMostTenTimesASecondHoweverFastTheReportsCome) {
  int refreshes = 0;
  QObject::connect(levels_->CountBar, &QProgressBar::valueChanged, [&refreshes] { ++refreshes; });
  std::array<ChannelReading, 23> channels{};
  for (std::size_t i = 0; i < channels.size(); ++i) {
    channels[i] = {SensorName(i), 100, 96, 107, 7, 100, false};
  }
  std::chrono::steady_clock::duration took{};
  RunStage([&] {
    const auto start = std::chrono::steady_clock::now();
    ProgressReport report;
    report.step = ProgressStep::kDaAdjustment;
    report.limit = 600;
    report.channels = channels;
    for (std::uint32_t reading = 1; reading <= 600; ++reading) {
      report.count = reading;
      channels[reading % channels.size()].level = static_cast<std::uint8_t>(reading);
      form_->Model.Progress.Report(report);
      pump_.Pump();  // far more often than a read of the port would
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    took = std::chrono::steady_clock::now() - start;
  });
  EXPECT_TRUE(QTest::qWaitFor([this] { return levels_->CountBar->value() == 600; }, 2000));
  const auto tenths = std::chrono::duration_cast<std::chrono::milliseconds>(took).count() / 100;
  EXPECT_GE(refreshes, 3) << "it did not follow the stage";
  EXPECT_LE(refreshes, tenths + 2) << "in " << tenths << " tenths of a second";
  EXPECT_EQ(levels_->CountBar->value(), 600);
}

TEST_F(LevelsStandIn, InputMeantForItDuringAStageIsDiscarded) {
  // Outside a stage Escape closes it, and Tab walks its channels.
  const std::array<ChannelReading, 2> channels{
      ChannelReading{"l3t_ir", 100, 96, 107, std::nullopt, std::nullopt, false},
      ChannelReading{"c0t_ir", 100, 96, 107, std::nullopt, std::nullopt, false}};
  ProgressReport report;
  report.step = ProgressStep::kBlackLevelCheck;
  report.channels = channels;
  form_->Model.Progress.Report(report);
  ASSERT_TRUE(QTest::qWaitFor([this] { return levels_->Bars[1]->isVisible(); }));
  ASSERT_TRUE(WaitForActive(levels_));
  levels_->Bars[0]->setFocus();
  PostKey(levels_, Qt::Key_Tab, Qt::NoModifier);
  QCoreApplication::processEvents();
  EXPECT_EQ(QApplication::focusWidget(), levels_->Bars[1]);
  PostKey(levels_, Qt::Key_Escape, Qt::NoModifier);
  QCoreApplication::processEvents();
  ASSERT_FALSE(levels_->isVisible());

  form_->Levels1->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(levels_));
  ASSERT_TRUE(WaitForActive(levels_));
  levels_->Bars[0]->setFocus();
  RunStage([this] {
    PostKey(levels_, Qt::Key_Tab, Qt::NoModifier);
    PostKey(levels_, Qt::Key_Escape, Qt::NoModifier);
    pump_.Pump();
    levels_->close();  // its close box
    PostKey(levels_, Qt::Key_Escape, Qt::NoModifier);
  });
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(levels_->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), levels_->Bars[0]);
}

}  // namespace
