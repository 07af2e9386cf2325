// The "Serial devices" dialog with real widgets: with no QZR71_COM1 in the environment, the
// simulated head's pseudo-terminal is typed in for COM1, applied, and stage 0 passes against it;
// the next start finds the same choice.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "console/Forms.h"
#include "console/InputBlocker.h"
#include "console/QtIdlePump.h"
#include "console/TMainForm.h"
#include "console/TRs232cForm.h"
#include "console/TSerialDevicesForm.h"
#include "program/ProgramParts.h"
#include "tests/gui/GuiTestSupport.h"
#include "tests/support/FakeClock.h"
#include "tests/support/HeadSimulator.h"
#include "tests/support/Recorders.h"

namespace {

const QStringList kStageZeroPassed{"Set White reference paper.", "", "Hit Next button."};

// One start of the tool, wired as main() wires it, with its settings file and runs in a scratch
// folder.
struct Tool {
  explicit Tool(const std::filesystem::path& folder)
      : parts(boxes, pump, {folder / "comm.ini", DeviceChoiceFile(), folder / "runs"}) {
    form = std::make_unique<TMainForm>(TMainForm::Seams{parts.Port, bell, clock, pump, blocker});
    MainForm = form.get();
    Rs232cForm = new TRs232cForm(parts.Settings, MainForm);
    Devices = new TSerialDevicesForm(parts.Devices, MainForm);
    MainForm->SerialDevicesForm = Devices;
    recorder = parts.WatchRuns(form->Model);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  ~Tool() {
    recorder.reset();
    form.reset();
    MainForm = nullptr;
    Rs232cForm = nullptr;
  }

  QStringList RunStageZero() {
    QTest::mouseClick(form->BtnStart, Qt::LeftButton);
    return LogLines(form->AdjMemo->toPlainText());
  }

  RecordingBoxes boxes;
  CountingBell bell;
  FakeClock clock;
  InputBlocker blocker;
  QtIdlePump pump{blocker};
  ProgramParts parts;
  std::unique_ptr<TMainForm> form;
  std::unique_ptr<RunRecorder> recorder;
  TSerialDevicesForm* Devices = nullptr;
};

class SerialDevicesDialogTest : public testing::Test {
 protected:
  SerialDevicesDialogTest() {
    for (const char* name : {"QZR71_COM1", "QZR71_COM2", "QZR71_COM3", "QZR71_COM4"}) {
      unsetenv(name);
    }
    setenv("XDG_CONFIG_HOME", (dir_.Path() / "config").c_str(), 1);
  }
  ~SerialDevicesDialogTest() override {
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("QZR71_COM2");
  }

  TempDir dir_;
};

TEST_F(SerialDevicesDialogTest, TheSimulatedHeadIsChosenInTheWindowAndKeptForTheNextStart) {
  HeadSimulator head(QZR71_HEADSIM, {});
  {
    Tool tool(dir_.Path());
    ChooseMenuItem(tool.form->MainMenu1, tool.form->Opiton1, tool.form->Serialdevices1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tool.Devices));
    EXPECT_EQ(tool.Devices->windowTitle(), "Serial devices");
    EXPECT_FALSE(tool.Devices->isModal());

    TSerialDevicesForm::PortRow& com1 = tool.Devices->Ports[0];
    EXPECT_EQ(com1.name->text(), "COM1");
    EXPECT_FALSE(com1.typedPath->isVisible());
    com1.device->setFocus();
    QTest::keyClick(com1.device, Qt::Key_End);
    EXPECT_EQ(com1.device->currentText(), "A path typed in");
    ASSERT_TRUE(com1.typedPath->isVisible());
    com1.typedPath->selectAll();
    QTest::keyClicks(com1.typedPath, QString::fromStdString(head.DevicePath()));
    EXPECT_EQ(com1.access->text(), "You may open this device.");
    QTest::mouseClick(tool.Devices->ApplyBtn, Qt::LeftButton);

    EXPECT_TRUE(tool.parts.Port.IsOpen());
    EXPECT_TRUE(tool.Devices->Status->text().endsWith(
        QString::fromStdString(" COM1 is open on " + head.DevicePath() + ".")))
        << tool.Devices->Status->text().toStdString();
    QTest::mouseClick(tool.Devices->CloseBtn, Qt::LeftButton);
    EXPECT_FALSE(tool.Devices->isVisible());
    EXPECT_EQ(tool.RunStageZero(), kStageZeroPassed);
  }
  Tool next(dir_.Path());
  EXPECT_TRUE(next.parts.Port.IsOpen());
  for (const ShownBox& box : next.boxes.shown) EXPECT_NE(box.caption, "RS232C PORT");
  next.form->Serialdevices1->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(next.Devices));
  EXPECT_EQ(next.Devices->Ports[0].typedPath->text(), QString::fromStdString(head.DevicePath()));
  EXPECT_EQ(next.RunStageZero(), kStageZeroPassed);
}

TEST_F(SerialDevicesDialogTest, ANameTheEnvironmentRulesCannotBeChangedAndSaysWhy) {
  setenv("QZR71_COM2", "/dev/null", 1);
  Tool tool(dir_.Path());
  tool.form->Serialdevices1->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(tool.Devices));
  const TSerialDevicesForm::PortRow& com2 = tool.Devices->Ports[1];
  EXPECT_FALSE(com2.device->isEnabled());
  EXPECT_TRUE(com2.note->isVisible());
  EXPECT_TRUE(com2.note->text().startsWith("Set by QZR71_COM2 in the environment"));
  EXPECT_EQ(com2.path->text(), "Device: /dev/null");
  EXPECT_TRUE(tool.Devices->Ports[0].device->isEnabled());

  // Closing the main window takes the dialog with it.
  tool.form->Exit1->trigger();
  EXPECT_FALSE(tool.Devices->isVisible());
}

TEST_F(SerialDevicesDialogTest, AServerTypedInIsKeptLikeADeviceWithHowItMustBeSetUp) {
  Tool tool(dir_.Path());
  tool.form->Serialdevices1->trigger();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(tool.Devices));
  TSerialDevicesForm::PortRow& com2 = tool.Devices->Ports[1];
  com2.device->setFocus();
  QTest::keyClick(com2.device, Qt::Key_End);
  QTest::keyClicks(com2.typedPath, QStringLiteral("rfc2217://127.0.0.1:3001"));
  EXPECT_TRUE(com2.access->text().contains("ser2net's telnet(rfc2217) accepter"))
      << com2.access->text().toStdString();
  QTest::mouseClick(tool.Devices->ApplyBtn, Qt::LeftButton);
  EXPECT_EQ(ComPortMap(DeviceChoiceFile()).Choices()[1], "rfc2217://127.0.0.1:3001");
}

}  // namespace
