// Pictures of every window in its telling states, saved for a person to look at, and a check that
// no caption is cut off. CTest runs this at scale 1.0 and at 1.25 (QT_SCALE_FACTOR); the pictures
// go to the directory in QZR71_SCREENSHOT_DIR.
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "adjust/AdjustDa.h"
#include "adjust/SensorTables.h"
#include "console/ChannelBar.h"
#include "console/Forms.h"
#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/QtMessageBoxes.h"
#include "console/TLevelsForm.h"
#include "console/TMainForm.h"
#include "console/TRs232cForm.h"
#include "console/TSerialDevicesForm.h"
#include "console/TVersionForm.h"
#include "link/PortDriver.h"
#include "link/PortText.h"
#include "link/TermiosSerialDevice.h"
#include "run/LinuxDeviceSource.h"
#include "run/SerialDevicesModel.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/gui/ThreeWindows.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakeDeviceTree.h"
#include "tests/support/PtyPair.h"
#include "tests/support/Recorders.h"

namespace {

QString ScreenshotDir() {
  QString dir = qEnvironmentVariable("QZR71_SCREENSHOT_DIR");
  if (dir.isEmpty()) dir = QDir::tempPath() + QStringLiteral("/qzr71-screenshots");
  QDir().mkpath(dir);
  return dir;
}

void Save(QWidget* window, const char* name) {
  QCoreApplication::processEvents();
  const QString file = ScreenshotDir() + QLatin1Char('/') + QLatin1String(name) + ".png";
  EXPECT_TRUE(window->grab().save(file)) << file.toStdString();
}

// Every caption fits its control, and every control lies inside its parent.
void ExpectNothingClipped(QWidget* window) {
  QCoreApplication::processEvents();  // the layout follows a new text on the next pass
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(window)) continue;
    const std::string name =
        widget->metaObject()->className() + std::string(" ") + widget->objectName().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget); label != nullptr && !label->text().isEmpty()) {
      if (label->wordWrap()) {
        // Its lines break at blanks: every word fits the width, and every line the height.
        for (const QString& word : label->text().split(QLatin1Char(' '))) {
          EXPECT_LE(label->fontMetrics().horizontalAdvance(word), label->contentsRect().width())
              << word.toStdString();
        }
        EXPECT_LE(label->heightForWidth(label->width()), label->height())
            << label->text().toStdString();
      } else {
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        EXPECT_LE(label->sizeHint().height(), label->height()) << label->text().toStdString();
      }
    }
    if (auto* bar = qobject_cast<ChannelBar*>(widget)) {
      EXPECT_LE(bar->minimumSizeHint().width(), bar->width()) << bar->Channel().name;
      EXPECT_LE(bar->minimumSizeHint().height(), bar->height()) << bar->Channel().name;
    }
    if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
      EXPECT_LE(radio->sizeHint().width(), radio->width()) << radio->text().toStdString();
      EXPECT_LE(radio->sizeHint().height(), radio->height()) << radio->text().toStdString();
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      // Text, glyph and a little room at either side.
      const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
      EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + icon + 8, button->width())
          << button->text().toStdString();
      EXPECT_LE(button->fontMetrics().height() + 4, button->height())
          << button->text().toStdString();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
      EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()), group->width())
          << group->title().toStdString();
      EXPECT_LE(group->minimumSizeHint().height(), group->height()) << group->title().toStdString();
    }
    QWidget* parent = widget->parentWidget();
    if (parent != nullptr && !widget->isWindow() && parent != window->parentWidget()) {
      EXPECT_TRUE(parent->rect().contains(widget->geometry())) << name;
    }
  }
}

class ScreenshotTest : public ThreeWindows {
 protected:
  ScreenshotTest() { ShowMainWindow(); }
  void StageResult(std::size_t stage, StepResult result, std::vector<std::string> lines) {
    form_->Model.Controller.SetStage(stage, {[this, result, lines] {
                                       form_->Model.Log.ClearLog();
                                       for (const auto& line : lines)
                                         form_->Model.Log.AddLine(line);
                                       return result;
                                     }});
  }
};

TEST_F(ScreenshotTest, MainWindowIdleWaitingAndFailed) {
  ExpectNothingClipped(form_.get());
  Save(form_.get(), "main-idle");

  StageResult(0, kStepSucceeded, {" ***** MOTOR SPEED CHECK *****", "350 Motor speed ok"});
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  ExpectNothingClipped(form_.get());
  Save(form_.get(), "main-waiting");

  StageResult(1, kAdjustmentFailed,
              {" ***** GAIN STEP CHECK *****", " Error sensor: l3t_ir r3t_ir l3t_gn",
               "               c0t_rd", " Gain error",
               " A line long enough to need wrapping in "
               "the log box, so that the picture shows how a long line breaks."});
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);
  ExpectNothingClipped(form_.get());
  Save(form_.get(), "main-failed");
}

TEST_F(ScreenshotTest, SettingsDialog) {
  QTest::mouseClick(form_->BtnStart, Qt::LeftButton);  // anything, so the dialog is not alone
  form_->COMMport1->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Rs232cForm));
  ExpectNothingClipped(Rs232cForm);
  Save(Rs232cForm, "settings-dialog");
}

// Each kind of row: COM1 ruled by the environment (the fixture's pseudo-terminal), an adapter by
// its stable name, a port this user may not open, a typed path with no device behind it.
TEST_F(ScreenshotTest, SerialDevicesDialog) {
  FakeDeviceTree tree;
  tree.AddUsbAdapter("ttyUSB0", "FTDI", "FT232R USB UART",
                     "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
  tree.AddUsbAdapter("ttyACM0", "Arduino (www.arduino.cc)", "Uno R3", "");
  tree.AddBuiltInPort("ttyS0", 4);
  namespace fs = std::filesystem;
  fs::permissions(tree.Root() / "dev/ttyUSB0", fs::perms::all);
  tree.AddNode(pty_.SlavePath(), fs::perms::all);
  const fs::path uart =
      tree.AddNode("/dev/ttyS0", fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::group_write);
  if (const group* dialout = getgrnam("dialout")) {
    [[maybe_unused]] const int ignored =
        chown(uart.c_str(), static_cast<uid_t>(-1), dialout->gr_gid);
  }
  ComPortMap ports(dir_.Path() / "serial-devices.json");
  ports.Keep({"", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "/dev/ttyS0",
              "/dev/ttyUSB7"});
  const LinuxDeviceSource devices(DeviceTree(tree.Root()),
                                  UserIdentity{4243, {4243}, {4243}, false});
  SerialDevicesModel model(devices, ports, settings_);
  auto* dialog = new TSerialDevicesForm(model, form_.get());
  form_->SerialDevicesForm = dialog;
  form_->Serialdevices1->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
  ExpectNothingClipped(dialog);
  Save(dialog, "serial-devices-dialog");

  dialog->Ports[3].typedPath->selectAll();
  QTest::keyClicks(dialog->Ports[3].typedPath, QStringLiteral("ttyUSB7"));
  QTest::mouseClick(dialog->ApplyBtn, Qt::LeftButton);
  QTest::qWait(100);  // the status line grew the dialog: let the combo boxes repaint at their width
  ExpectNothingClipped(dialog);
  Save(dialog, "serial-devices-dialog-refused");
  delete dialog;
  form_->SerialDevicesForm = nullptr;
}

TEST_F(ScreenshotTest, VersionDialog) {
  form_->Version1->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(VersionForm));
  ExpectNothingClipped(VersionForm);
  Save(VersionForm, "version-dialog");
}

// Readings of the 23 channels mid-way through a D/A adjustment, two of them out of their windows:
// channel 4 low, channel 13 high.
std::array<ChannelReading, 23> DaChannels() {
  std::array<ChannelReading, 23> channels{};
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const LevelWindow window = DaWindow(TargetLevel24[i]);
    channels[i] = {SensorName(i),
                   static_cast<std::uint8_t>(TargetLevel24[i] + i % 5 - 2),
                   window.lower,
                   window.upper,
                   std::uint8_t{7},
                   static_cast<std::uint8_t>(96 + i % 9),
                   false};
  }
  channels[4].level = 90;
  channels[13].level = 171;
  channels[13].daValue = 133;
  return channels;
}

ProgressReport DaReport(const std::array<ChannelReading, 23>& channels) {
  ProgressReport report;
  report.step = ProgressStep::kDaAdjustment;
  report.count = 143;
  report.limit = 600;
  report.run = 4;
  report.runNeeded = 10;
  report.channels = channels;
  return report;
}

// The Levels window mid-way through a D/A adjustment with two channels out of their windows, then
// after it failed on l3u_gn's D/A value; and during a wait of the motor check.
TEST_F(ScreenshotTest, LevelsWindow) {
  std::array<ChannelReading, 23> channels = DaChannels();
  ProgressReport report = DaReport(channels);
  form_->Levels1->trigger();
  TLevelsForm* levels = form_->LevelsForm;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(levels));
  form_->Model.Progress.Report(report);
  ASSERT_TRUE(QTest::qWaitFor([levels] { return levels->Bars[22]->isVisible(); }));
  ExpectNothingClipped(levels);
  Save(levels, "levels-da-running");

  channels[4].level = 100;
  channels[13].level = 155;
  channels[13].bad = true;
  report.count = 212;
  report.run = 10;
  report.verdict = true;
  form_->Model.Progress.Report(report);
  ASSERT_TRUE(
      QTest::qWaitFor([levels] { return levels->SummaryLabel->text() == "Judged bad: l3u_gn"; }));
  ExpectNothingClipped(levels);
  Save(levels, "levels-da-failed");

  ProgressReport wait;
  wait.step = ProgressStep::kMotorSpeedCheck;
  wait.count = 1;
  wait.limit = 3;
  wait.secondsLeft = 6.4;
  wait.waitSeconds = 11;
  wait.value = 352;
  form_->Model.Progress.Report(wait);
  ASSERT_TRUE(QTest::qWaitFor([levels] { return levels->DetailBar->isVisible(); }));
  ExpectNothingClipped(levels);
  Save(levels, "levels-motor-wait");
}

// The whole screen with the Levels window opened during a D/A adjustment, on a screen of the size
// the offscreen platform was given (QZR71_SCREEN names it in the picture's name): the window lies
// on the screen beside the main window, and clear of it.
TEST_F(ScreenshotTest, LevelsWindowBesideTheMainWindow) {
  const std::array<ChannelReading, 23> channels = DaChannels();
  form_->Levels1->trigger();
  TLevelsForm* levels = form_->LevelsForm;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(levels));
  form_->Model.Progress.Report(DaReport(channels));
  ASSERT_TRUE(QTest::qWaitFor([levels] { return levels->Bars[22]->isVisible(); }));
  ExpectNothingClipped(levels);

  const QRect room = form_->screen()->availableGeometry();
  const QRect main = form_->frameGeometry();
  const QRect beside = levels->frameGeometry();
  EXPECT_TRUE(room.contains(beside))
      << beside.x() << "," << beside.y() << " " << beside.width() << "x" << beside.height();
  EXPECT_FALSE(beside.intersects(main))
      << "main " << main.x() << "," << main.y() << " " << main.width() << "x" << main.height()
      << ", Levels " << beside.x() << "," << beside.y() << " " << beside.width() << "x"
      << beside.height();
  QCoreApplication::processEvents();
  const QString file = ScreenshotDir() + QStringLiteral("/screen-") +
                       qEnvironmentVariable("QZR71_SCREEN") + QStringLiteral("-levels-da.png");
  EXPECT_TRUE(form_->screen()->grabWindow(0).save(file)) << file.toStdString();
}

TEST_F(ScreenshotTest, PortErrorBox) {
  QtMessageBoxes boxes;
  bool grabbed = false;
  QTimer::singleShot(50, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      // The full-width mark where a font can draw it, else the plain one; never an empty box.
      const QString mark =
          QFontDatabase::families(QFontDatabase::Japanese).isEmpty() ? "!" : "\uFF01";
      EXPECT_EQ(box->text(), "CAN NOT COM PORT" + mark + "\n Error Code:d");
      EXPECT_EQ(box->windowTitle(), "RS232C PORT");
      EXPECT_EQ(box->icon(), QMessageBox::Warning);
      EXPECT_EQ(box->buttons().size(), 1);
      Save(box, "port-error-box");
      grabbed = true;
      box->accept();
    }
  });
  boxes.ShowExclamation(PortFailureText(13), kPortCaption);
  EXPECT_TRUE(grabbed);
}

}  // namespace
